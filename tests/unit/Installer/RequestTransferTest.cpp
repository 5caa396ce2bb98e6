#include "Installer/Engine/RequestTransfer.h"

#include <gtest/gtest.h>

#include <string>

#include "FakeHttpClient.h"

namespace {

using KorvaneTest::FakeHttpClient;

// The archive in memory.
struct MemoryFile final : Platform::WritableFile {
  bool Write(const void* data, std::size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  bool SetTimes(std::uint64_t, std::uint64_t, std::uint64_t) override { return true; }
  bool Flush() override { return true; }
  std::string bytes;
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

}  // namespace
