#pragma once
#include <easylogging++.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Sends the records of the logger "default" to a file of its own for the
// life of the object, so a test can read the messages that were written.
class LogCapture {
 public:
  LogCapture() : m_path(UniquePath()) {
    el::Configurations configuration;
    configuration.setToDefault();
    configuration.setGlobally(el::ConfigurationType::Format, "%level %msg");
    configuration.setGlobally(el::ConfigurationType::ToFile, "true");
    configuration.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
    configuration.setGlobally(el::ConfigurationType::Filename, m_path);
    el::Loggers::reconfigureLogger("default", configuration);
  }
  ~LogCapture() {
    el::Configurations quiet;
    quiet.setToDefault();
    quiet.setGlobally(el::ConfigurationType::ToFile, "false");
    quiet.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
    el::Loggers::reconfigureLogger("default", quiet);
    std::remove(m_path.c_str());
  }

  // "LEVEL message" for every record so far.
  std::vector<std::string> Lines() const {
    el::Loggers::getLogger("default")->flush();
    std::ifstream file(m_path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

 private:
  static std::string UniquePath() {
    static int counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string name = "korvane-log-" + std::to_string(stamp) + "-" + std::to_string(++counter) + ".log";
    return (std::filesystem::temp_directory_path() / name).string();
  }

  std::string m_path;
};
