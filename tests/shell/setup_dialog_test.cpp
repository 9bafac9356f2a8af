#include "shell/setup_dialog.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include "install/shortcuts.h"
#include "install/stored_destination.h"
#include "shell/scan_handler.h"
#include "shell_test_util.h"
#include "text/bounded_text.h"

namespace {

// Product "Example Tool" 3.2 of code "ZQT", main program "tool.exe", languages English, German and French.
std::string WriteInstaller(const std::string& windowClass, size_t cut = 0) {
  return TestInstaller({"ZQT", windowClass, "tool.exe"},
                       {{"FILE_ID.DIZ", TestBytes("Example Tool Version 3.2\r\n")},
                        {"tool.exe", TestBytes("MZ")},
                        {"Lang\\Tool_FR.LNG", TestBytes("[Info]\r\nLanguage=Francais\r\n")}},
                       cut);
}

// The context as start-up leaves it, in English, for an installer.
void StartContext(InstallerContext* context, const std::string& installer) {
  strcpy(context->languageCode, "US");
  InstallerContextSet(context);
  SelectInterfaceLanguage();
  context->icon = LoadIconW(nullptr, IDI_APPLICATION);
  CopyWide(TestWidePath(installer).c_str(), context->modulePath, 1024);
}

int g_destroyRequests = 0;
bool g_obeyDestroy = true;

// A product's window: counts the WM_DESTROY sent from outside and, when it obeys, goes away.
LRESULT CALLBACK ProductWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY && InSendMessage()) {
    ++g_destroyRequests;
    if (g_obeyDestroy) PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateProductWindow(const char* windowClass) {
  WNDCLASSA product = {};
  product.lpfnWndProc = ProductWindow;
  product.lpszClassName = windowClass;
  RegisterClassA(&product);
  return CreateWindowA(windowClass, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
}

// Runs this thread's messages until `thread` ends (true) or the milliseconds pass.
bool PumpUntilEnded(HANDLE thread, DWORD milliseconds) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds;) {
    if (MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return false;
}

}  // namespace

TEST(SetupDialog, InitDialogFillsTheRealTemplate) {
  InstallerContext context = {};
  StartContext(&context, WriteInstaller(""));
  HWND dialog = CreateDialogParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  ASSERT_NE(nullptr, dialog);
  auto text = [&](int id) { return TestWindowText(GetDlgItem(dialog, id)); };
  EXPECT_EQ("Setup Example Tool 3.2|Example Tool 3.2|&OK|Cancel|Destination folder|Put entry to Start Menu",
            TestWindowText(dialog) + "|" + text(kTitleLineId) + "|" + text(kInstallButtonId) + "|" +
                text(kCancelButtonId) + "|" + text(1031) + "|" + text(kStartMenuBoxId));
  // No window class in the payload: the closer looks for the product name.
  EXPECT_STREQ("Example Tool", context.productWindowClass);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(context.icon), GetClassLongPtrW(dialog, GCLP_HICON));
  RECT desktop, window;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(dialog, &window);
  EXPECT_LE(abs(2 * window.left - (desktop.right - (window.right - window.left))), 1);
  EXPECT_LE(abs(2 * window.top - (desktop.bottom - (window.bottom - window.top))), 1);

  // A new destination: every box and language checked, the Quick Launch box hidden without its folder.
  char16_t proposed[1024];
  DefaultDestination(proposed, 1024);
  EXPECT_EQ(TestUtf8(proposed), text(kDestinationEditId));
  HWND list = GetDlgItem(dialog, kLanguageListId);
  std::string checks;
  for (int id : {kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) checks += IsDlgButtonChecked(dialog, id) ? 'x' : '-';
  for (int i = 0; i < ListView_GetItemCount(list); ++i) checks += LanguageItemCheck(list, i) == kLanguageChecked ? 'x' : '-';
  EXPECT_EQ("xxxxxx", checks);
  LONG_PTR boxStyle = GetWindowLongPtrW(GetDlgItem(dialog, kQuickLaunchBoxId), GWL_STYLE);
  EXPECT_EQ(HasQuickLaunch(), (boxStyle & WS_VISIBLE) != 0);
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, dialog, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  DestroyWindow(dialog);
  InstallerContextSet(nullptr);
}

TEST(SetupDialog, BrokenInstallerShowsOnlyTheMessageAndClosesNoProduct) {
  // The product's name is read before the payload breaks off, but its window is left alone.
  HWND product = CreateProductWindow("Example Tool");
  g_destroyRequests = 0;
  InstallerContext context = {};
  StartContext(&context, WriteInstaller("ToolWindow", 8));
  BoxReader box;
  INT_PTR result = WithModalAnswer(box.Answer(), [] {
    return DialogBoxParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  });
  InstallerContextSet(nullptr);
  EXPECT_EQ(0, result);
  EXPECT_EQ("setup.exe: Broken file, please download again.", box.caption + ": " + box.text);
  EXPECT_FALSE(box.ownerVisible);
  Sleep(200);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(0, g_destroyRequests);
  DestroyWindow(product);
}

TEST(InstanceCloser, AsksUntilNoWindowOfTheClassIsLeft) {
  HWND first = CreateProductWindow("SetupkitTestProduct");
  HWND second = CreateProductWindow("SetupkitTestProduct");
  g_destroyRequests = 0;
  // A window that stays is asked again and again, with a pause between.
  g_obeyDestroy = false;
  HANDLE closer = StartInstanceCloser("SetupkitTestProduct");
  ASSERT_NE(nullptr, closer);
  EXPECT_FALSE(PumpUntilEnded(closer, 500));
  EXPECT_GE(g_destroyRequests, 3);
  EXPECT_LE(g_destroyRequests, 20);
  g_obeyDestroy = true;
  EXPECT_TRUE(PumpUntilEnded(closer, 10000));
  CloseHandle(closer);
  EXPECT_FALSE(IsWindow(first) || IsWindow(second));
  EXPECT_EQ(nullptr, StartInstanceCloser(""));  // no class and no product name: nothing to look for
}
