#pragma once
#include <cstdint>

namespace Platform {

// Windows file times count 100-ns ticks from 1601-01-01 UTC; Unix time starts this many ticks later.
constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;

}  // namespace Platform
