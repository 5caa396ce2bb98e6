#pragma once
// Reading a dialog template resource (the RT_DIALOG data the resource
// compiler wrote) into the numbers the font override needs. Portable: the
// bytes come from the resource on Windows, from test data elsewhere.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace NCommon {

constexpr std::uint32_t kDsSetFont = 0x40;

struct DialogTemplateFont {
  std::uint16_t pointSize = 8;
  std::uint16_t weight = 400;
  bool italic = false;
  std::wstring face = L"Tahoma";  // UTF-16 code units
};

struct DialogTemplateItem {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::int16_t width = 0;
  std::int16_t height = 0;
  std::uint32_t id = 0;
  std::uint32_t style = 0;
  std::uint32_t extendedStyle = 0;
};

struct DialogTemplate {
  bool extended = false;
  std::uint32_t style = 0;
  std::uint32_t extendedStyle = 0;
  bool hasMenu = false;
  std::int16_t width = 0;
  std::int16_t height = 0;
  // The template's font when it has DS_SETFONT, else Tahoma 8 points, 400.
  DialogTemplateFont font;
  // In template order. Items past a truncation are missing.
  std::vector<DialogTemplateItem> items;
};

// False when the data is too short for the header and its font; items that
// do not fit are left out. A point size above 0x7FFF is taken as its
// 16-bit negation.
bool ParseDialogTemplate(const std::uint8_t* data, std::size_t size, DialogTemplate* result);

}  // namespace NCommon
