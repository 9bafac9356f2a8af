// Leaving the dialog without installing, in every way a person can: nothing
// is written and the installer ends with exit code 0. Install with an empty
// destination does nothing at all.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

// Starts the installer, leaves its dialog with `leave`, and checks what is left.
template <typename Leave>
void LeaveAndExpectNothing(Leave leave) {
  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  std::wstring destination = UiControlText(dialog, kDestinationEdit);
  ASSERT_FALSE(destination.empty());
  ASSERT_TRUE(leave(dialog));
  EXPECT_EQ(0, run.WaitExit());
  ExpectNothingInstalled(destination);
}

}  // namespace

TEST(LeavingTheDialog, CancelButton) {
  LeaveAndExpectNothing([](HWND dialog) { return UiPress(dialog, kCancelButton); });
}

TEST(LeavingTheDialog, EscapeKey) {
  LeaveAndExpectNothing([](HWND dialog) { return UiPressKey(dialog, VK_ESCAPE); });
}

TEST(LeavingTheDialog, CloseBox) {
  LeaveAndExpectNothing([](HWND dialog) { return UiCloseBox(dialog); });
}

TEST(LeavingTheDialog, InstallWithEmptyDestinationDoesNothing) {
  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  std::wstring proposed = UiControlText(dialog, kDestinationEdit);
  ASSERT_TRUE(UiSetText(dialog, kDestinationEdit, L""));
  ASSERT_TRUE(UiPress(dialog, kInstallButton));
  // Enter presses the default button, Install, too.
  ASSERT_TRUE(UiPressKey(dialog, VK_RETURN));
  UiMessageBox box;
  EXPECT_FALSE(UiWaitMessageBox(run.id(), kLanguageList, 1500, &box)) << "a message appeared: " << Utf8(box.text);
  EXPECT_TRUE(run.running());
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(L"", UiControlText(dialog, kStatusLine));
  ExpectNothingInstalled(proposed);
  ASSERT_TRUE(UiPress(dialog, kCancelButton));
  EXPECT_EQ(0, run.WaitExit());
}
