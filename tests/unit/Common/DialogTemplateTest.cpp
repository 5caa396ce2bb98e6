#include "Common/DialogLayout/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace NCommon {
namespace {

// Writes template bytes the way the resource compiler lays them out.
class TemplateBytes {
 public:
  TemplateBytes& U16(std::uint16_t value) {
    m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
  }
  TemplateBytes& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
  TemplateBytes& U8(std::uint8_t value) {
    m_bytes.push_back(value);
    return *this;
  }
  TemplateBytes& Text(const std::u16string& text) {
    for (char16_t unit : text) U16(unit);
    return U16(0);
  }
  TemplateBytes& Align() {
    while (m_bytes.size() % 4) m_bytes.push_back(0);
    return *this;
  }
  const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

 private:
  std::vector<std::uint8_t> m_bytes;
};

TemplateBytes ExtendedHeader(std::uint32_t style, std::uint16_t items) {
  TemplateBytes bytes;
  bytes.U32(0xFFFF0001u).U32(0).U32(0x00040000).U32(style).U16(items);
  bytes.U16(0).U16(0).U16(186).U16(106);
  return bytes;
}

void ExtendedItem(TemplateBytes& bytes, std::uint32_t id, std::int16_t x, std::int16_t width,
                  const std::u16string& className, std::uint16_t extraBytes = 0) {
  bytes.Align().U32(0).U32(0x20).U32(0x5001000B);
  bytes.U16(static_cast<std::uint16_t>(x)).U16(5).U16(static_cast<std::uint16_t>(width)).U16(11).U32(id);
  if (className.empty()) {
    bytes.U16(0xFFFF).U16(0x0080);
  } else {
    bytes.Text(className);
  }
  bytes.Text(u"Website").U16(extraBytes);
  for (std::uint16_t i = 0; i < extraBytes; ++i) bytes.U8(0xAB);
}

DialogTemplate Parse(const TemplateBytes& bytes) {
  DialogTemplate parsed;
  EXPECT_TRUE(ParseDialogTemplate(bytes.Bytes().data(), bytes.Bytes().size(), &parsed));
  return parsed;
}

TEST(DialogTemplateTest, ExtendedTemplateGivesFontSizesAndItemsInOrder) {
  TemplateBytes bytes = ExtendedHeader(0x82000048, 3);
  bytes.U16(0).U16(0).U16(0);  // no menu, no class, no title
  bytes.U16(8).U16(0).U8(0).U8(1).Text(u"MS Shell Dlg");
  ExtendedItem(bytes, 1007, 154, 11, u"");
  ExtendedItem(bytes, 1013, -3, 164, u"RichEdit20W", 6);
  ExtendedItem(bytes, 0x12345, 78, 24, u"");

  const DialogTemplate parsed = Parse(bytes);
  EXPECT_TRUE(parsed.extended);
  EXPECT_EQ(parsed.style, 0x82000048u);
  EXPECT_EQ(parsed.extendedStyle, 0x00040000u);
  EXPECT_FALSE(parsed.hasMenu);
  EXPECT_EQ(parsed.width, 186);
  EXPECT_EQ(parsed.height, 106);
  EXPECT_EQ(parsed.font.pointSize, 8);
  EXPECT_EQ(parsed.font.weight, 0);
  EXPECT_FALSE(parsed.font.italic);
  EXPECT_EQ(parsed.font.face, L"MS Shell Dlg");
  ASSERT_EQ(parsed.items.size(), 3u);
  EXPECT_EQ(parsed.items[0].id, 1007u);
  EXPECT_EQ(parsed.items[0].x, 154);
  EXPECT_EQ(parsed.items[1].x, -3);
  EXPECT_EQ(parsed.items[1].width, 164);
  EXPECT_EQ(parsed.items[1].extendedStyle, 0x20u);
  // Found past a string class name and extra bytes of the item before.
  EXPECT_EQ(parsed.items[2].id, 0x12345u);
  EXPECT_EQ(parsed.items[2].style, 0x5001000Bu);
}

TEST(DialogTemplateTest, MenuClassAndTitleFieldsOfEveryFormAreSkipped) {
  TemplateBytes bytes = ExtendedHeader(0x80000040, 0);
  bytes.U16(0xFFFF).U16(7);                 // menu by ordinal
  bytes.Text(u"MyClass");                   // class by name
  bytes.Text(u"Title");                     // title
  bytes.U16(0xFFF6).U16(700).U8(1).U8(0).Text(u"Arial");  // point size -10 as 16 bits

  const DialogTemplate parsed = Parse(bytes);
  EXPECT_TRUE(parsed.hasMenu);
  EXPECT_EQ(parsed.font.pointSize, 10);
  EXPECT_EQ(parsed.font.weight, 700);
  EXPECT_TRUE(parsed.font.italic);
  EXPECT_EQ(parsed.font.face, L"Arial");
}

TEST(DialogTemplateTest, TemplateWithoutSetFontGetsTahomaEightPoints) {
  TemplateBytes bytes = ExtendedHeader(0x80000000, 0);
  bytes.U16(0).U16(0).Text(u"No font");
  const DialogTemplate parsed = Parse(bytes);
  EXPECT_EQ(parsed.font.face, L"Tahoma");
  EXPECT_EQ(parsed.font.pointSize, 8);
  EXPECT_EQ(parsed.font.weight, 400);
  EXPECT_FALSE(parsed.font.italic);
}

TEST(DialogTemplateTest, ClassicTemplateIsReadWithItsOwnLayout) {
  TemplateBytes bytes;
  bytes.U32(0x80000040).U32(0x100).U16(1).U16(0).U16(0).U16(120).U16(60);
  bytes.U16(0).U16(0).U16(0).U16(9).Text(u"Segoe UI");
  bytes.Align().U32(0x50010000).U32(0).U16(4).U16(6).U16(50).U16(14).U16(1);
  bytes.U16(0xFFFF).U16(0x0080).Text(u"OK").U16(0);

  const DialogTemplate parsed = Parse(bytes);
  EXPECT_FALSE(parsed.extended);
  EXPECT_EQ(parsed.style, 0x80000040u);
  EXPECT_EQ(parsed.extendedStyle, 0x100u);
  EXPECT_EQ(parsed.width, 120);
  EXPECT_EQ(parsed.font.pointSize, 9);
  EXPECT_EQ(parsed.font.weight, 0);
  EXPECT_EQ(parsed.font.face, L"Segoe UI");
  ASSERT_EQ(parsed.items.size(), 1u);
  EXPECT_EQ(parsed.items[0].id, 1u);
  EXPECT_EQ(parsed.items[0].width, 50);
}

TEST(DialogTemplateTest, TruncatedDataNeverReadsPastTheEnd) {
  TemplateBytes bytes = ExtendedHeader(0x82000048, 2);
  bytes.U16(0).U16(0).U16(0).U16(8).U16(0).U8(0).U8(1).Text(u"MS Shell Dlg");
  const std::size_t headerEnd = bytes.Bytes().size();
  ExtendedItem(bytes, 1007, 154, 11, u"");
  ExtendedItem(bytes, 1008, 168, 11, u"");
  const std::vector<std::uint8_t>& all = bytes.Bytes();

  for (std::size_t size = 0; size < all.size(); ++size) {
    // A copy of exactly that length, so the sanitizers see any overread.
    std::vector<std::uint8_t> cut(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size));
    DialogTemplate parsed;
    const bool ok = ParseDialogTemplate(cut.data(), cut.size(), &parsed);
    EXPECT_EQ(ok, size >= headerEnd) << size;
    if (ok) {
      EXPECT_LT(parsed.items.size(), 2u) << size;
    }
  }
  DialogTemplate parsed;
  EXPECT_FALSE(ParseDialogTemplate(nullptr, 0, &parsed));
}

}  // namespace
}  // namespace NCommon
