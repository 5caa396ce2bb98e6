// The screen templates as the program carries them: read back from the
// test executable's own RT_DIALOG resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "Common/DialogLayout/DialogTemplate.h"
#include "resources/ScreenIds.h"

namespace NCommon {
namespace {

DialogTemplate LoadScreenTemplate(int id) {
  DialogTemplate parsed;
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_NE(found, nullptr) << id;
  if (!found) return parsed;
  const void* data = ::LockResource(::LoadResource(module, found));
  EXPECT_TRUE(ParseDialogTemplate(static_cast<const std::uint8_t*>(data), ::SizeofResource(module, found), &parsed));
  return parsed;
}

struct Place {
  int x, y, width, height;
  std::uint32_t style, extendedStyle;
};

std::map<std::uint32_t, Place> Places(const DialogTemplate& parsed) {
  std::map<std::uint32_t, Place> places;
  for (const DialogTemplateItem& item : parsed.items) {
    places[item.id] = {item.x, item.y, item.width, item.height, item.style, item.extendedStyle};
  }
  return places;
}

void ExpectPlace(const std::map<std::uint32_t, Place>& places, std::uint32_t id, Place expected) {
  auto found = places.find(id);
  ASSERT_NE(found, places.end()) << id;
  const Place& actual = found->second;
  EXPECT_EQ(actual.x, expected.x) << id;
  EXPECT_EQ(actual.y, expected.y) << id;
  EXPECT_EQ(actual.width, expected.width) << id;
  EXPECT_EQ(actual.height, expected.height) << id;
  EXPECT_EQ(actual.style, expected.style) << id;
  EXPECT_EQ(actual.extendedStyle, expected.extendedStyle) << id;
}

void ExpectSkeleton(const DialogTemplate& parsed, int height, std::uint32_t logoStyle) {
  EXPECT_TRUE(parsed.extended);
  EXPECT_EQ(parsed.style, 0x82000048u);
  EXPECT_EQ(parsed.extendedStyle, 0x00040000u);
  EXPECT_FALSE(parsed.hasMenu);
  EXPECT_EQ(parsed.width, 186);
  EXPECT_EQ(parsed.height, height);
  EXPECT_EQ(parsed.font.face, L"MS Shell Dlg");
  EXPECT_EQ(parsed.font.pointSize, 8);
  EXPECT_EQ(parsed.font.weight, 0);
  EXPECT_FALSE(parsed.font.italic);
  const auto places = Places(parsed);
  ExpectPlace(places, IDC_HELP_BUTTON, {154, 5, 11, 11, 0x4001000B, 0});
  ExpectPlace(places, IDC_CLOSE_BUTTON, {168, 5, 11, 11, 0x5001000B, 0});
  ExpectPlace(places, IDC_MAKER_LINK, {78, 36, 24, 10, 0x5001000B, 0});
  ExpectPlace(places, IDC_PRODUCT_LOGO, {116, 15, 30, 16, logoStyle, 0});
}

TEST(ScreenTemplatesTest, LicenceScreenTemplate) {
  const DialogTemplate parsed = LoadScreenTemplate(IDD_LICENCE_SCREEN);
  ExpectSkeleton(parsed, 277, 0x5001000B);
  const auto places = Places(parsed);
  EXPECT_EQ(parsed.items.size(), 8u);
  ExpectPlace(places, IDC_DESCRIPTION, {8, 51, 171, 68, 0x50020000, WS_EX_TRANSPARENT});
  ExpectPlace(places, IDC_LICENCE_TEXT, {9, 126, 167, 106, 0x50200804, 0});
  ExpectPlace(places, IDC_ACCEPT, {97, 246, 80, 18, 0x5001000B, 0});
  ExpectPlace(places, IDC_DECLINE, {8, 246, 80, 18, 0x5001000B, 0});
}

TEST(ScreenTemplatesTest, DriveScreenTemplate) {
  const DialogTemplate parsed = LoadScreenTemplate(IDD_DRIVE_SCREEN);
  ExpectSkeleton(parsed, 106, 0x50010C0B);
  const auto places = Places(parsed);
  EXPECT_EQ(parsed.items.size(), 8u);
  ExpectPlace(places, IDC_DRIVE_HEADING, {10, 46, 164, 11, 0x50020000, WS_EX_TRANSPARENT});
  ExpectPlace(places, IDC_DRIVE_LIST, {30, 59, 146, 80, 0x50200503, WS_EX_CLIENTEDGE});
  ExpectPlace(places, IDC_INSTALL, {94, 79, 82, 20, 0x5001000B, 0});
  ExpectPlace(places, IDC_REFRESH, {10, 61, 15, 12, 0x5001000B, 0});
}

TEST(ScreenTemplatesTest, ProgressScreenTemplate) {
  const DialogTemplate parsed = LoadScreenTemplate(IDD_PROGRESS_SCREEN);
  ExpectSkeleton(parsed, 106, 0x5001000B);
  const auto places = Places(parsed);
  EXPECT_EQ(parsed.items.size(), 9u);
  ExpectPlace(places, IDC_STATUS_TEXT, {10, 46, 175, 24, 0x50020000, WS_EX_TRANSPARENT});
  ExpectPlace(places, IDC_RUN_BUTTON, {94, 79, 82, 20, 0x5001000B, 0});
  ExpectPlace(places, IDC_PROGRESS, {9, 59, 165, 14, 0x50800000, 0});
  ExpectPlace(places, IDC_COMPLETION_TEXT, {9, 82, 78, 13, 0x50020000, WS_EX_TRANSPARENT});
  // A static text that never takes the focus.
  ExpectPlace(places, IDC_PROGRESS_DETAIL, {9, 75, 83, 27, 0x50020080, WS_EX_TRANSPARENT});
}

}  // namespace
}  // namespace NCommon
