#include "Installer/Engine/RequestTransfer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <streambuf>

#include "FakeHttpClient.h"
#include "Installer/Engine/InstallException.h"
#include "Support/LogCapture.h"

namespace {

using KorvaneTest::FakeHttpClient;

// A disk that is full: every byte is refused.
class FullDisk : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
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

TEST(PerformRequest, FailedArchiveWriteRaises) {
  KorvaneTest::LogCapture log;
  FakeHttpClient http(100);
  Prepared prepared(http);
  FullDisk full;
  std::ostream file(&full);
  std::int32_t totalSize = 100;
  std::uint32_t received = 0, offset = 0;
  int reports = 0;
  CancelFlag cancel;
  try {
    InstallBackend::PerformRequest(nullptr, reports, cancel, file, http, prepared.request.Get(),
                                   totalSize, received, offset);
    ADD_FAILURE() << "a write to a full disk went unnoticed";
  } catch (const InstallBackend::InstallException& e) {
    EXPECT_EQ(e.Message(), L"InstallBackend::PerformRequest Failed to write the archive");
  }
  EXPECT_TRUE(log.Has("ERROR InstallBackend::PerformRequest Failed to write the archive"));
}

TEST(PerformRequest, NullListenerLeavesReportCountAlone) {
  FakeHttpClient http(100);
  Prepared prepared(http);
  std::ostringstream file;
  std::int32_t totalSize = 100;
  std::uint32_t received = 0, offset = 0;
  int reports = 0;
  const CancelFlag cancel;
  EXPECT_EQ(InstallBackend::PerformRequest(nullptr, reports, cancel, file, http,
                                           prepared.request.Get(), totalSize, received, offset),
            1);
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(received, 100u);
  EXPECT_EQ(offset, InstallBackend::ChunkSize);
  EXPECT_EQ(file.str().size(), 100u);
}

}  // namespace
