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

// How the user writes numbers: "1,234.5" in the US, "1.234,5" in Germany,
// "1 234,5" in Russia. The digits are grouped by three.
struct NumberSymbols {
  std::wstring decimal = L".";
  std::wstring thousands = L",";
};

// The user's own symbols; a symbol the system cannot tell keeps its
// default above.
NumberSymbols GetUserNumberSymbols();

}  // namespace Platform
