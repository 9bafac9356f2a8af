// Install into a folder that cannot be made: the system's own text for the
// error, and the dialog stays open with the user's choices for another try.
#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(InstallErrors, MissingDriveShowsSystemErrorAndDialogStays) {
  const std::wstring destination = L"Q:\\Pebble Notes";
  ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeW(L"Q:\\")) << "drive Q: exists in this prefix";
  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  ASSERT_TRUE(UiSetText(dialog, kDestinationEdit, destination));
  ASSERT_TRUE(UiPress(dialog, kInstallButton));
  UiMessageBox box;
  ASSERT_TRUE(run.WaitMessage(&box)) << "no message";
  // Wine reports a missing drive as a path that is not found.
  EXPECT_EQ(SystemErrorText(ERROR_PATH_NOT_FOUND), box.text);
  EXPECT_TRUE(box.hasIcon);
  Screenshot({box.window}, "missing-drive-en.png");
  EXPECT_TRUE(UiAnswerMessageBox(box, IDOK));

  EXPECT_TRUE(run.running());
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(destination, UiControlText(dialog, kDestinationEdit));
  // The pass tries every file and reports the first failure; the status line
  // keeps the last file it tried.
  EXPECT_EQ(destination + L"\\" + kSampleUninstaller, UiControlText(dialog, kStatusLine));
  for (int id : {kStartMenuBox, kDesktopBox}) EXPECT_EQ(BST_CHECKED, UiCheckState(dialog, id));
  ExpectNothingInstalled(ProgramFilesDir() + L"\\" + kSampleName);

  ASSERT_TRUE(UiPress(dialog, kCancelButton));
  EXPECT_EQ(0, run.WaitExit());
}
