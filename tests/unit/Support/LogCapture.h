#pragma once
// Collects the records written to the log while the object lives, as
// "INFO message" / "ERROR message".
#include <easylogging++.h>

#include <algorithm>
#include <string>
#include <vector>

namespace KorvaneTest {

class LogCapture {
 public:
  LogCapture() {
    Lines().clear();
    el::Helpers::installLogDispatchCallback<Sink>("KorvaneTestLogCapture");
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
  }
  ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<Sink>("KorvaneTestLogCapture"); }

  const std::vector<std::string>& lines() const { return Lines(); }
  int Count(const std::string& line) const {
    return static_cast<int>(std::count(Lines().begin(), Lines().end(), line));
  }
  bool Has(const std::string& line) const { return Count(line) > 0; }
  // Index of the first line equal to line at or after from; -1 when none.
  int Find(const std::string& line, int from = 0) const {
    for (int i = from; i < static_cast<int>(Lines().size()); ++i) {
      if (Lines()[i] == line) return i;
    }
    return -1;
  }

 private:
  class Sink : public el::LogDispatchCallback {
   protected:
    void handle(const el::LogDispatchData* data) override {
      const el::LogMessage* message = data->logMessage();
      const char* level = message->level() == el::Level::Error ? "ERROR " : "INFO ";
      Lines().push_back(level + message->message());
    }
  };
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
};

}  // namespace KorvaneTest
