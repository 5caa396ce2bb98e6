// Run-time DLLs come from the system folder, whatever lies in the current
// folder under the same name.
#include "Platform/Win32/SystemLibrary.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace Platform {
namespace {

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length);
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

// A copy of a real system DLL under a name the system folder does not
// hold, in a scratch folder made the current folder for the test.
class PlantedDll : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_folder = std::wstring(temp) + L"korvane-planted-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(m_folder.c_str(), nullptr));
    m_planted = m_folder + L"\\" + kPlantedName;
    ASSERT_TRUE(::CopyFileW(SystemFolderPath(L"msimg32.dll").c_str(), m_planted.c_str(), TRUE));
    ::GetCurrentDirectoryW(MAX_PATH, m_previousFolder);
    ASSERT_TRUE(::SetCurrentDirectoryW(m_folder.c_str()));
  }

  void TearDown() override {
    ::SetCurrentDirectoryW(m_previousFolder);
    ::DeleteFileW(m_planted.c_str());
    ::RemoveDirectoryW(m_folder.c_str());
  }

  static constexpr const wchar_t* kPlantedName = L"korvaneplanted.dll";
  std::wstring m_folder;
  std::wstring m_planted;
  wchar_t m_previousFolder[MAX_PATH] = {};
};

TEST(SystemLibrary, LoadsTheSystemFoldersCopy) {
  EXPECT_EQ(SystemFolderPath(L"msimg32.dll"), SystemFolder() + L"\\msimg32.dll");
  const SystemLibrary library(L"msimg32.dll");
  ASSERT_TRUE(library.IsLoaded());
  EXPECT_NE(library.Symbol("AlphaBlend"), nullptr);
  EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);
  HMODULE module = ::GetModuleHandleW(L"msimg32.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(::lstrcmpiW(ModulePath(module).c_str(), SystemFolderPath(L"msimg32.dll").c_str()), 0);
}

TEST_F(PlantedDll, IsNeverLoadedFromTheCurrentFolder) {
  // The plant is a loadable DLL: a plain load by name finds it here.
  HMODULE control = ::LoadLibraryW(kPlantedName);
  ASSERT_NE(control, nullptr);
  ::FreeLibrary(control);

  const SystemLibrary library(kPlantedName);
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol("AlphaBlend"), nullptr);
}

}  // namespace
}  // namespace Platform
