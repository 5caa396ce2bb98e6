#include "Common/DialogLayout/DialogTemplate.h"

namespace NCommon {
namespace {

constexpr std::uint32_t kExtendedSignature = 0xFFFF0001u;

// Reads little-endian fields and refuses to step past the end.
class TemplateReader {
 public:
  TemplateReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  std::size_t Offset() const { return m_offset; }
  bool Seek(std::size_t offset) {
    if (offset > m_size) return false;
    m_offset = offset;
    return true;
  }
  bool AlignTo4() { return Seek((m_offset + 3) & ~static_cast<std::size_t>(3)); }

  bool U8(std::uint8_t* value) {
    if (m_offset + 1 > m_size) return false;
    *value = m_data[m_offset++];
    return true;
  }
  bool U16(std::uint16_t* value) {
    if (m_offset + 2 > m_size) return false;
    *value = static_cast<std::uint16_t>(m_data[m_offset] | (m_data[m_offset + 1] << 8));
    m_offset += 2;
    return true;
  }
  bool I16(std::int16_t* value) {
    std::uint16_t raw = 0;
    if (!U16(&raw)) return false;
    *value = static_cast<std::int16_t>(raw);
    return true;
  }
  bool U32(std::uint32_t* value) {
    std::uint16_t low = 0, high = 0;
    if (!U16(&low) || !U16(&high)) return false;
    *value = low | (static_cast<std::uint32_t>(high) << 16);
    return true;
  }
  bool String(std::wstring* text) {
    for (;;) {
      std::uint16_t unit = 0;
      if (!U16(&unit)) return false;
      if (unit == 0) return true;
      if (text) text->push_back(static_cast<wchar_t>(unit));
    }
  }
  // A menu, class or title field: 0, 0xFFFF plus an ordinal, or a string.
  // Sets present to whether the field names anything.
  bool Field(bool* present) {
    std::uint16_t first = 0;
    if (!U16(&first)) return false;
    if (present) *present = first != 0;
    if (first == 0) return true;
    if (first == 0xFFFF) {
      std::uint16_t ordinal = 0;
      return U16(&ordinal);
    }
    return String(nullptr);
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_offset = 0;
};

bool ReadFont(TemplateReader& reader, bool extended, DialogTemplateFont* font) {
  std::uint16_t pointSize = 0;
  if (!reader.U16(&pointSize)) return false;
  if (pointSize > 0x7FFF) pointSize = static_cast<std::uint16_t>(-pointSize);
  font->pointSize = pointSize;
  font->weight = 0;
  font->italic = false;
  if (extended) {
    std::uint8_t italic = 0, charset = 0;
    if (!reader.U16(&font->weight) || !reader.U8(&italic) || !reader.U8(&charset)) return false;
    font->italic = italic != 0;
  }
  font->face.clear();
  return reader.String(&font->face);
}

bool ReadItem(TemplateReader& reader, bool extended, DialogTemplateItem* item) {
  if (!reader.AlignTo4()) return false;
  if (extended) {
    std::uint32_t helpId = 0;
    if (!reader.U32(&helpId) || !reader.U32(&item->extendedStyle) || !reader.U32(&item->style)) {
      return false;
    }
  } else if (!reader.U32(&item->style) || !reader.U32(&item->extendedStyle)) {
    return false;
  }
  if (!reader.I16(&item->x) || !reader.I16(&item->y) || !reader.I16(&item->width) ||
      !reader.I16(&item->height)) {
    return false;
  }
  if (extended) {
    if (!reader.U32(&item->id)) return false;
  } else {
    std::uint16_t id = 0;
    if (!reader.U16(&id)) return false;
    item->id = id;
  }
  std::uint16_t extraBytes = 0;
  return reader.Field(nullptr) && reader.Field(nullptr) && reader.U16(&extraBytes) &&
         reader.Seek(reader.Offset() + extraBytes);
}

}  // namespace

bool ParseDialogTemplate(const std::uint8_t* data, std::size_t size, DialogTemplate* result) {
  TemplateReader reader(data, size);
  std::uint32_t first = 0;
  if (!data || !reader.U32(&first)) return false;
  DialogTemplate parsed;
  parsed.extended = first == kExtendedSignature;
  std::uint16_t itemCount = 0;
  std::int16_t x = 0, y = 0;
  if (parsed.extended) {
    std::uint32_t helpId = 0;
    if (!reader.U32(&helpId) || !reader.U32(&parsed.extendedStyle) || !reader.U32(&parsed.style)) {
      return false;
    }
  } else {
    parsed.style = first;
    if (!reader.U32(&parsed.extendedStyle)) return false;
  }
  if (!reader.U16(&itemCount) || !reader.I16(&x) || !reader.I16(&y) || !reader.I16(&parsed.width) ||
      !reader.I16(&parsed.height)) {
    return false;
  }
  if (!reader.Field(&parsed.hasMenu) || !reader.Field(nullptr) || !reader.String(nullptr)) {
    return false;
  }
  if ((parsed.style & kDsSetFont) && !ReadFont(reader, parsed.extended, &parsed.font)) return false;
  for (std::uint16_t i = 0; i < itemCount; ++i) {
    DialogTemplateItem item;
    if (!ReadItem(reader, parsed.extended, &item)) break;
    parsed.items.push_back(item);
  }
  *result = std::move(parsed);
  return true;
}

}  // namespace NCommon
