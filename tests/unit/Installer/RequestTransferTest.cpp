#include "Installer/Engine/RequestTransfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "FakeHttpClient.h"

namespace {

using KorvaneTest::FakeHttpClient;

// The archive in memory, and the length of every write to it.
struct MemoryFile final : Platform::WritableFile {
  bool Write(const void* data, std::size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    writes.push_back(size);
    return true;
  }
  bool SetTimes(std::uint64_t, std::uint64_t, std::uint64_t) override { return true; }
  bool Flush() override { return true; }
  std::string bytes;
  std::vector<std::size_t> writes;
};

struct Prepared {
  explicit Prepared(FakeHttpClient& http)
      : http(http),
        session(http, http.Open(L"Korvane", 1, L"", L"")),
        connection(http, http.Connect(session.Get(), L"localhost", 8443)),
        request(http, http.OpenRequest(connection.Get(), L"GET", L"/", 0)) {}
  FakeHttpClient& http;
  Platform::HttpHandleOwner session, connection, request;
};

TEST(PerformRequest, NullListenerLeavesReportCountAlone) {
  FakeHttpClient http(100);
  Prepared prepared(http);
  MemoryFile file;
  std::int32_t totalSize = 100;
  std::uint32_t received = 0, offset = 0;
  int reports = 0;
  const CancelFlag cancel;
  EXPECT_EQ(InstallBackend::PerformRequest(nullptr, reports, cancel, file, http,
                                           prepared.request.Get(), totalSize, received, offset)
                .kind,
            InstallBackend::RequestEnd::Done);
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(received, 100u);
  EXPECT_EQ(offset, InstallBackend::ChunkSize);
  EXPECT_EQ(file.bytes.size(), 100u);
}

bool IsPackageFrom(const std::string& bytes, std::uint64_t first) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != KorvaneTest::PackageByte(first + i)) return false;
  }
  return true;
}

// Network reads of 16 KiB reach the disk in writes of 256 KiB, or sooner
// on a line so slow that the first of them has waited a quarter second; the
// end of the body, and the part that came before a stall, are written
// before the request returns, so that the next one resumes right after them.
TEST(PerformRequest, BodyIsWrittenInQuarterMebibytesOrAQuarterSecondLateAtMost) {
  constexpr std::size_t Quarter = 262144;
  constexpr std::size_t Piece = 16384;
  struct Case {
    std::uint32_t cutAfter;  // 0: none
    int msPerRead;
    std::vector<std::size_t> writes;
    InstallBackend::RequestEnd::Kind end;
  };
  std::vector<std::size_t> slowLine(16, 4 * Piece);  // a write every fourth read, 300 ms after the first
  slowLine.push_back(100);
  const Case cases[] = {
      {0, 0, {Quarter, Quarter, Quarter, Quarter, 100}, InstallBackend::RequestEnd::Done},
      {300000, 0, {Quarter, 300000 - Quarter}, InstallBackend::RequestEnd::Stalled},
      {0, 100, slowLine, InstallBackend::RequestEnd::Done},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cutAfter + c.msPerRead);
    FakeHttpClient http(4 * Quarter + 100);
    http.pieceSize = Piece;
    if (c.cutAfter) {
      http.timeoutRequest = 0;
      http.timeoutAfterBytes = c.cutAfter;
    }
    InstallBackend::ProgressWatch::TimePoint now{};
    http.afterRead = [&](int) { now += std::chrono::milliseconds(c.msPerRead); };
    const InstallBackend::ProgressWatch::Clock clock = [&] { return now; };
    Prepared prepared(http);
    MemoryFile file;
    std::int32_t totalSize = static_cast<std::int32_t>(4 * Quarter + 100);
    std::uint32_t received = 0, offset = 0;
    int reports = 0;
    const CancelFlag cancel;
    const auto end = InstallBackend::PerformRequest(nullptr, reports, cancel, file, http, prepared.request.Get(),
                                                    totalSize, received, offset, clock);
    EXPECT_EQ(end.kind, c.end);
    EXPECT_EQ(file.writes, c.writes);
    EXPECT_EQ(file.bytes.size(), received);
    EXPECT_TRUE(IsPackageFrom(file.bytes, 0));
    EXPECT_EQ(offset, c.cutAfter ? c.cutAfter : InstallBackend::ChunkSize);
  }
}

}  // namespace
