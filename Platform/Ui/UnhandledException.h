#pragma once
// The last line of defence where an exception would cross the system's
// frames (a window procedure, the start-up): there it would end the process
// without a word. The catch blocks hand it here; the application decides
// where the words go (its log).
namespace Platform {

using ExceptionReporter = void (*)(const char* where, const char* what);

// Replaces the reporter; null reports nothing.
void SetExceptionReporter(ExceptionReporter reporter);

// Describes the exception being handled and reports it. Call only inside a
// catch block; it never throws.
void ReportCurrentException(const char* where) noexcept;

}  // namespace Platform
