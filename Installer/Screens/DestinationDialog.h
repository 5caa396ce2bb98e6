#pragma once
// The second screen: the USB drives found on the machine in a drop-down
// list, a refresh button and Install, which hands the chosen letter back
// (IDOK). Close gives IDCANCEL and leaves the caller's letter alone. The
// list also follows drives plugged in or removed while the screen is open.
#include <windows.h>

#include "Common/Dialogs/SkinnedScreen.h"
#include "Platform/Ui/ComboBox.h"
#include "Platform/Ui/GdiObjects.h"
#include "Platform/Wmi/WmiQuery.h"

class DestinationDialog : public NCommon::SkinnedScreen {
 public:
  // drives: where USB drives are found and described. selectedDrive: the
  // caller's letter variable (0: none), written by Install. Both outlive
  // the screen.
  DestinationDialog(Platform::IDriveInfoSource& drives, wchar_t* selectedDrive);
  ~DestinationDialog() override;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;

  void RefreshDrives();
  void OnDriveSelected();
  void OnInstall();
  // Enter anywhere on the screen (the dialog's default command) is Install.
  void OnOK() override { OnInstall(); }
  LRESULT OnDeviceChange(WPARAM event, LPARAM data);
  LRESULT OnTimer(WPARAM timer, LPARAM);

  DECLARE_MESSAGE_MAP()

 private:
  // Fills the list afresh; keep, when listed again, stays selected,
  // otherwise the first drive is.
  void FillDriveList(wchar_t keep);
  wchar_t SelectedLetter() const;
  void CreateScreenFonts();

  // The list's text for a drive: "label (E:)".
  std::wstring DriveItemText(wchar_t letter) const;

  Platform::IDriveInfoSource& m_drives;
  wchar_t* m_selectedDrive;  // not owned
  Platform::Font m_labelFont;
  Platform::Font m_buttonFont;
  Platform::Font m_listFont;
  NCommon::AnimatedBitmapButton m_refreshButton;
  NCommon::AnimatedBitmapButton m_installButton;
  Platform::ComboBox m_driveList;
};
