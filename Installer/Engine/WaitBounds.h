#pragma once
// How long the installer waits for anything outside it: the network, the
// running application, its own worker. A user on a train or hotel network,
// behind a proxy that drops idle connections, must never be left with a
// window that neither progresses nor closes. Each bound is logged at INFO
// when it fires.
#include <chrono>

namespace InstallBackend {

// A request that sees no byte (no headers, no body) for this long is taken
// as stalled and ended; the download goes on at its first missing byte on a
// new connection. A live server answers within a second or two even under
// load; a connection that is silent this long is held by something that has
// forgotten it (a proxy, a NAT box, a hung server thread). Well below the
// 60 s transfer time-outs, which stay as the outer bound of every call.
constexpr std::chrono::seconds kStallWindow{15};

// With no new byte of the package for this long, across every request,
// retry and attempt path (direct and proxy), the download fails as a failed
// download always has. Six stall windows: long enough for a network that
// comes back (a train out of a tunnel, a Wi-Fi that re-associates), short
// enough that the user learns of a dead server within two minutes.
constexpr std::chrono::seconds kNoProgressLimit{90};

// After a connection fails (reset, refused, closed before its range was
// complete), the next request waits this long, doubled with every further
// request in a row that does not finish its range, up to the longest pause:
// 1, 2, 4, 8, 8 ... s. A Wi-Fi that re-associates or a NAT box that forgot
// the connection is back within a second or two; a network that is down
// for a while is not hammered with connections, and is still caught within
// 8 s of its return. The no-progress bound ends the pauses.
constexpr std::chrono::seconds kRetryPauseFirst{1};
constexpr std::chrono::seconds kRetryPauseLongest{8};

// A route whose requests reach the server and then stall or break off this
// many times in a row, none finishing its range, is dead: a path-MTU black
// hole or a proxy that cuts every transfer loses every connection after a
// few kilobytes, and would otherwise trickle on for hours, never silent for
// the no-progress bound. A passing fault costs one request, two at worst;
// four in a row on fresh connections is the route itself. A request that
// never reaches the server (refused, name not resolved) does not count: that
// is a network that is down, which the no-progress bound ends.
constexpr int kDeadRouteRequests = 4;

// How long the running application may take to answer the message that an
// update begins. A healthy window answers in milliseconds; Windows itself
// calls a window hung after five seconds without reading its messages.
constexpr std::chrono::seconds kAppAnswerTimeout{3};

// How long closing the progress screen waits for the worker to stop. The
// user is promised the installer is gone within a second of the close; what
// is left of that second is the process's own teardown. A worker stuck in a
// call nothing can interrupt (a drive query, proxy discovery) is left
// behind and ends with the process.
constexpr std::chrono::milliseconds kWorkerStopWait{600};

}  // namespace InstallBackend
