#pragma once
#include <cstdint>
#include <string>

struct ZipItem;

// Entry times in 100-nanosecond ticks since 1601-01-01 00:00 UTC.

// A DOS date and time is a local time; it is taken with the offset from UTC
// given (the one in force now). A date or time that is no calendar value
// (month 0, February 30, hour 25...) gives 1980-01-01 00:00 local time.
std::uint64_t DosTimeToTicks(std::uint16_t dosDate, std::uint16_t dosTime, std::int64_t utcOffsetTicks);

// Replaces the item's times by those of the first extended timestamp block
// of a local extra field. Times the block promises but does not hold whole
// are left as they were.
void ApplyExtendedTimestamp(const std::string& extraField, ZipItem& item);
