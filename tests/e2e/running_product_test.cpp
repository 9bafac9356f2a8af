// A running copy of the product: the installer closes every window of the
// product's window class as soon as its dialog is up, before Install.
#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(RunningProduct, WindowsOfItsClassAreClosed) {
  UiProcess product;
  ASSERT_TRUE(UiStart(E2e().classWindow, std::wstring(kSampleWindowClass) + L" 2", &product));
  for (int tries = 0; tries < 100 && FindWindowW(kSampleWindowClass, nullptr) == nullptr; ++tries) Sleep(50);
  ASSERT_NE(nullptr, FindWindowW(kSampleWindowClass, nullptr)) << "the stand-in product shows no window";

  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  // Exit code 0: the stand-in ended because a window of its class got WM_DESTROY.
  EXPECT_EQ(0, UiWaitExit(product, 10000));
  EXPECT_EQ(nullptr, FindWindowW(kSampleWindowClass, nullptr));
  UiRelease(&product);

  EXPECT_TRUE(run.running());
  ASSERT_TRUE(UiPress(dialog, kCancelButton));
  EXPECT_EQ(0, run.WaitExit());
}
