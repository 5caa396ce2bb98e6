#include "Platform/Ui/UnhandledException.h"

#include <exception>

namespace Platform {
namespace {

ExceptionReporter g_reporter = nullptr;

}  // namespace

void SetExceptionReporter(ExceptionReporter reporter) { g_reporter = reporter; }

void ReportCurrentException(const char* where) noexcept {
  if (!g_reporter) return;
  try {
    try {
      throw;
    } catch (const std::exception& error) {
      g_reporter(where, error.what());
    } catch (...) {
      g_reporter(where, "an exception of unknown type");
    }
  } catch (...) {
    // The reporter itself failed (no memory for the record): nothing is left
    // that could say so.
  }
}

}  // namespace Platform
