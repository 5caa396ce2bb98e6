#pragma once
// The line under the progress screen's bar: how much of the package has
// come, how fast and about how long is left; what the download is waiting
// for; how many files are in place. A user on a slow or stalling line must
// be able to tell it from a dead one.
#include <cstdint>
#include <functional>
#include <string>

#include "Platform/UserLanguage.h"

struct ProgressDetail {
  enum class Kind { None, Bytes, Stalled, Retrying, Files };
  Kind kind = Kind::None;
  std::uint64_t done = 0;      // bytes or files
  std::int64_t total = -1;     // -1 while not known
  double bytesPerSecond = -1;  // negative until measured
  int secondsLeft = -1;        // negative: not shown
  int waitSeconds = 0;         // Stalled: silent so long; Retrying: next try in
};

// The localized messages the line is made of.
struct DetailMessages {
  std::wstring of, speed, timeLeft, stalled, retrying, files;
  std::wstring bytes, kilobytes, megabytes, gigabytes;
  std::wstring seconds, minutes, hours;

  // text gives the message of a base id in the user's language.
  static DetailMessages Load(const std::function<std::wstring(int baseId)>& text);
};

// value rounded to decimals places, its whole part grouped by three.
std::wstring NumberText(double value, int decimals, const Platform::NumberSymbols& symbols);
// "512 bytes", "5.8 MB", "23.4 MB", "155 MB": three significant digits, in
// units of 1024 as the system's own file sizes are.
std::wstring SizeText(double bytes, const DetailMessages& messages, const Platform::NumberSymbols& symbols);
// "25 s", "3 min", "1 h 5 min".
std::wstring DurationText(int seconds, const DetailMessages& messages, const Platform::NumberSymbols& symbols);
// The whole line; its parts (sizes, speed, time left) are joined by
// separator: " · " on one line, a line break where the place is narrow.
// Empty for Kind::None.
std::wstring DetailText(const ProgressDetail& detail, const DetailMessages& messages,
                        const Platform::NumberSymbols& symbols, const std::wstring& separator);
