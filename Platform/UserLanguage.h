#pragma once
#include <string>

namespace Platform {

// The user's UI language as an ISO 639 language code and an ISO 3166 country
// code, such as "de" and "DE". A code the system cannot tell comes back empty.
struct LanguageCodes {
  std::wstring language;
  std::wstring country;
};

LanguageCodes GetUserUiLanguageCodes();

}  // namespace Platform
