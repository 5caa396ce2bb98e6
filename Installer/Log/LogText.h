#pragma once
#include <string>

// How wide texts appear in a record: in the C runtime's multibyte encoding
// of the current locale; a text with a character that encoding cannot hold
// is written as empty, a null text as "nullptr".
std::string LogText(const std::wstring& text);
std::string LogText(const wchar_t* text);

// A single UTF-16 code unit, such as a drive letter, is written as its
// numeric value.
inline unsigned LogCodeUnit(wchar_t unit) { return static_cast<unsigned>(unit); }
