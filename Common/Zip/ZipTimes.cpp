#include "Common/Zip/ZipTimes.h"

#include "Common/Zip/LittleEndian.h"
#include "Common/Zip/ZipTypes.h"
#include "Platform/Files/FileTimes.h"

namespace {

using LittleEndian::Read16;
using LittleEndian::Read32;
using Platform::kUnixEpochTicks;

constexpr std::int64_t kTicksPerSecond = 10000000;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (month == 2 && IsLeapYear(year)) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = year / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

std::uint64_t UnixSecondsToTicks(const std::string& bytes, std::size_t at) {
  const auto seconds = static_cast<std::int32_t>(Read32(bytes, at));
  return static_cast<std::uint64_t>(seconds * kTicksPerSecond + kUnixEpochTicks);
}

void DecodeTimestampBlock(const std::string& extra, std::size_t dataStart, std::size_t dataEnd,
                          ZipItem& item) {
  const auto flags = static_cast<unsigned char>(extra[dataStart]);
  std::uint64_t* const targets[3] = {&item.modificationTime, &item.accessTime, &item.creationTime};
  std::size_t at = dataStart + 1;
  for (int bit = 0; bit < 3; ++bit) {
    if ((flags & (1u << bit)) == 0) continue;
    if (at + 4 > dataEnd) return;
    *targets[bit] = UnixSecondsToTicks(extra, at);
    at += 4;
  }
}

}  // namespace

std::uint64_t DosTimeToTicks(std::uint16_t dosDate, std::uint16_t dosTime, std::int64_t utcOffsetTicks) {
  int year = 1980 + (dosDate >> 9);
  int month = (dosDate >> 5) & 15;
  int day = dosDate & 31;
  int hour = dosTime >> 11;
  int minute = (dosTime >> 5) & 63;
  int second = 2 * (dosTime & 31);
  const bool valid = month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) &&
                     hour <= 23 && minute <= 59 && second <= 59;
  if (!valid) {
    year = 1980;
    month = day = 1;
    hour = minute = second = 0;
  }
  const std::int64_t seconds =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return static_cast<std::uint64_t>(seconds * kTicksPerSecond + kUnixEpochTicks - utcOffsetTicks);
}

void ApplyExtendedTimestamp(const std::string& extra, ZipItem& item) {
  std::size_t block = 0;
  while (block + 4 < extra.size()) {
    const std::uint16_t id = Read16(extra, block);
    const std::uint16_t size = Read16(extra, block + 2);
    if (id == 0x5455) {
      const std::size_t blockEnd = block + 4 + size;
      DecodeTimestampBlock(extra, block + 4, blockEnd < extra.size() ? blockEnd : extra.size(), item);
      return;
    }
    block += 4u + size;
  }
}
