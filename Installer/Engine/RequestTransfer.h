#pragma once
#include <chrono>
#include <cstdint>

#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/ProgressWatch.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// The length of one Range request and the step of the range offset.
constexpr std::uint32_t ChunkSize = 4194304;
// The body is written to the archive in pieces of this size (and what is
// left at the end of a request): large enough that the disk sees few writes.
constexpr std::uint32_t kWriteBufferSize = 262144;
// On a slow line a piece takes long to fill: bytes older than this are
// written with the next read, so that the extraction behind the download,
// and a later run that goes on with the archive, are never far behind.
constexpr std::chrono::milliseconds kWriteDelayLongest{250};

// How one request ended. Every end but Done and Cancelled leaves rangeOffset
// at the first byte not received, for the next request to resume there.
struct RequestEnd {
  enum Kind {
    Done,       // the size is known, or the range (or the whole package) is in the archive
    Cancelled,  // cancel was set, also when it cut a waiting call short
    Stalled,    // nothing arrived for the stall window (12002), headers or body
    Unreached,  // the request never reached the server: refused, name not resolved, no secure
                // connection within the stall window
    Broken,     // the connection failed after the request went out: reset, or a body that
                // ends before its range
  };
  Kind kind;
  // For Unreached and Broken: what happened, in the words of the log.
  const char* what = "";
};

// Carries out one prepared request of a package download. With totalSize -1
// it is the size probe: it stores the Content-Length in totalSize and reads
// no body. Otherwise it asks for the next range (at most ChunkSize bytes from
// rangeOffset) and appends the body to file in writes of up to
// kWriteBufferSize (sooner when bytes have waited kWriteDelayLongest by
// now's clock; null: never), all of it before the call returns, reporting
// progress to listener
// (which may be null). A server that ignores Range sends the whole package:
// the first range's body is then taken whole and ends the download. The
// counters belong to the whole download call.
//
// Raises InstallException on the failures a new connection cannot mend: a
// certificate the system refuses, a Content-Length that does not fit
// totalSize, a later range answered from the package's first byte, a write
// to file that fails.
RequestEnd PerformRequest(IInstallListener* listener, int& progressReports, const CancelFlag& cancel,
                          Platform::WritableFile& file, Platform::IHttpClient& http, Platform::HttpHandle request,
                          std::int32_t& totalSize, std::uint32_t& bytesReceived, std::uint32_t& rangeOffset,
                          const ProgressWatch::Clock& now = nullptr);

}  // namespace InstallBackend
