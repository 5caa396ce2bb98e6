#pragma once
#include <cstdint>

#include "Installer/Engine/InstallListener.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// The length of one Range request and the step of the range offset.
constexpr std::uint32_t ChunkSize = 4194304;

// Carries out one prepared request of a package download. With totalSize -1
// it is the size probe: it stores the Content-Length in totalSize and reads
// no body. Otherwise it asks for the next range (at most ChunkSize bytes from
// rangeOffset) and appends the body to file, reporting progress to listener
// (which may be null). A receive time-out or stall (12002), of the headers
// or of the body, ends the request early and leaves rangeOffset at the
// first byte not received, so the next request resumes there (a size probe
// whose headers stall leaves totalSize at -1). A server that ignores Range sends the whole package: the
// first range's body is then taken whole and ends the download. The
// counters belong to the whole download call.
//
// Returns 1 when the request is done and 0 when it stopped because cancel
// was set, also when the cancel cut a waiting call short. Raises InstallException on every failure, among them a
// Content-Length that does not fit totalSize, a body that ends before its
// range (a dropped connection), a later range answered from the package's
// first byte, and a write to file that fails.
int PerformRequest(IInstallListener* listener, int& progressReports, const CancelFlag& cancel,
                   Platform::WritableFile& file, Platform::IHttpClient& http, Platform::HttpHandle request,
                   std::int32_t& totalSize, std::uint32_t& bytesReceived,
                   std::uint32_t& rangeOffset);

}  // namespace InstallBackend
