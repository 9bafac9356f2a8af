#include "shell/setup_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/entry_format.h"
#include "archive/lzma_test_util.h"
#include "install/shortcuts.h"
#include "install/stored_destination.h"
#include "setup_exe.h"
#include "setupkit/entry_stream_writer.h"
#include "shell/scan_handler.h"
#include "test_dialog.h"
#include "test_modal.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Product code "ZQT", main program "tool.exe", languages English, German and French.
std::string WriteInstaller(const std::string& windowClass, size_t cut = 0) {
  std::vector<uint8_t> stream = BuildEntryStream({"ZQT", windowClass, "tool.exe"}, ArchiveDateFromYmd(2020, 5, 17),
                                                 {{"FILE_ID.DIZ", Bytes("Example Tool Version 3.2\r\n")},
                                                  {"tool.exe", Bytes("MZ")},
                                                  {"Lang\\Tool_FR.LNG", Bytes("[Info]\r\nLanguage=Francais\r\n")}});
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(stream, false), static_cast<uint32_t>(stream.size()));
  container.resize(container.size() - cut);
  return TestWriteInstaller(kPayloadSearchStart, container, std::vector<uint8_t>(4096, 0));
}

// The message box the code under test opens, read and closed.
struct BoxReader {
  std::string caption, text;
  bool ownerVisible = true;
  std::function<void(HWND)> Answer() {
    return [this](HWND box) {
      caption = TestWindowText(box);
      text = TestWindowText(GetDlgItem(box, 0xFFFF));
      ownerVisible = IsWindowVisible(GetWindow(box, GW_OWNER)) != 0;
      PostMessageW(box, WM_CLOSE, 0, 0);
    };
  }
};

// setup.exe's own dialog, modeless and hidden, in English, over installer.
struct SetupDialogUnderTest {
  InstallerContext context = {};
  HWND dialog = nullptr;

  explicit SetupDialogUnderTest(const std::string& installer) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    strcpy(context.languageCode, "US");
    InstallerContextSet(&context);
    SelectInterfaceLanguage();
    context.icon = LoadIconW(nullptr, IDI_APPLICATION);
    CopyWide(TestWidePath(installer).c_str(), context.modulePath, 1024);
    dialog = CreateDialogParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  }
  ~SetupDialogUnderTest() {
    DestroyWindow(dialog);
    InstallerContextSet(nullptr);
  }
  std::string Text(int id) const { return TestWindowText(GetDlgItem(dialog, id)); }
  // Check marks of the three boxes, then of the languages in list order ("x" or "-").
  std::string Checks() const {
    std::string out;
    for (int id : {kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) out += IsDlgButtonChecked(dialog, id) ? 'x' : '-';
    HWND list = GetDlgItem(dialog, kLanguageListId);
    out += ' ';
    for (int i = 0; i < ListView_GetItemCount(list); ++i) out += LanguageItemCheck(list, i) == kLanguageChecked ? 'x' : '-';
    return out;
  }
  bool ClosePosted() const {
    MSG message;
    return PeekMessageW(&message, dialog, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
  }
};

int g_destroyRequests = 0;
bool g_obeyDestroy = true;

// A product's window: counts the WM_DESTROY sent from outside and, when it
// obeys, goes away as a program's main window does.
LRESULT CALLBACK ProductWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY && InSendMessage()) {
    ++g_destroyRequests;
    if (g_obeyDestroy) PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of the product's class, on this thread.
HWND CreateProductWindow(const char* windowClass) {
  WNDCLASSA product = {};
  product.lpfnWndProc = ProductWindow;
  product.lpszClassName = windowClass;
  RegisterClassA(&product);
  return CreateWindowA(windowClass, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
}

// Runs this thread's messages until thread ends (true) or milliseconds pass.
bool PumpUntilEnded(HANDLE thread, DWORD milliseconds) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds;) {
    if (MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return false;
}

// The stored destination of product "ZQT" for the length of a test.
struct StoredDestination {
  explicit StoredDestination(const std::string& folder) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(kStoredDestinationKey), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    std::u16string text = TestWidePath(folder);
    RegSetValueExW(key, L"ZQT", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1) * 2);
    RegCloseKey(key);
  }
  ~StoredDestination() { RegDeleteKeyValueW(HKEY_CURRENT_USER, AsWide(kStoredDestinationKey), L"ZQT"); }
};

}  // namespace

TEST(SetupDialog, InitDialogFillsTheRealTemplate) {
  SetupDialogUnderTest d(WriteInstaller(""));
  ASSERT_NE(nullptr, d.dialog);
  EXPECT_FALSE(IsWindowVisible(d.dialog));
  EXPECT_EQ("Setup Example Tool 3.2", TestWindowText(d.dialog));
  EXPECT_EQ("Example Tool 3.2", d.Text(kTitleLineId));
  EXPECT_EQ("&OK|Cancel|Destination folder|Put entry to Start Menu|Create a Desktop icon|Create a Quick Launch icon|...",
            d.Text(99) + "|" + d.Text(2) + "|" + d.Text(1031) + "|" + d.Text(1041) + "|" + d.Text(1042) + "|" +
                d.Text(1043) + "|" + d.Text(1033));
  // No window class in the payload: the closer looks for the product name.
  EXPECT_STREQ("Example Tool", d.context.productWindowClass);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(d.context.icon), GetClassLongPtrW(d.dialog, GCLP_HICON));

  RECT desktop, window;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(d.dialog, &window);
  POINT centre = CenteredPosition(desktop, window);
  EXPECT_EQ(centre.x, window.left);
  EXPECT_EQ(centre.y, window.top);

  char16_t proposed[1024];
  DefaultDestination(proposed, 1024);
  EXPECT_EQ(TestUtf8(proposed), d.Text(kDestinationEditId));
  // The dialog itself is hidden, so the box's own style tells whether it was hidden.
  LONG boxStyle = GetWindowLongW(GetDlgItem(d.dialog, kQuickLaunchBoxId), GWL_STYLE);
  EXPECT_EQ(HasQuickLaunch(), (boxStyle & WS_VISIBLE) != 0);
  EXPECT_FALSE(d.ClosePosted());
}

TEST(SetupDialog, BrokenInstallerShowsOnlyTheMessageThenEnds) {
  // The product keeps running: its name is read before the payload breaks off.
  HWND product = CreateProductWindow("Example Tool");
  g_destroyRequests = 0;
  InstallerContext context = {};
  strcpy(context.languageCode, "US");
  InstallerContextSet(&context);
  SelectInterfaceLanguage();
  CopyWide(TestWidePath(WriteInstaller("ToolWindow", 8)).c_str(), context.modulePath, 1024);
  BoxReader box;
  INT_PTR result = WithModalAnswer(box.Answer(), [] {
    return DialogBoxParamW(SetupExeModule(), MAKEINTRESOURCEW(kSetupDialogId), nullptr, SetupDialog, 0);
  });
  InstallerContextSet(nullptr);
  EXPECT_EQ(0, result);
  EXPECT_EQ("setup.exe", box.caption);
  EXPECT_EQ("Broken file, please download again.", box.text);
  EXPECT_FALSE(box.ownerVisible);
  EXPECT_STREQ("Example Tool", context.productWindowClass);
  Sleep(200);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(0, g_destroyRequests);
  DestroyWindow(product);
}

TEST(SetupDialog, CommandTable) {
  SetupDialogUnderTest d(WriteInstaller("ToolWindow"));
  HWND list = GetDlgItem(d.dialog, kLanguageListId);
  SetLanguageItemCheck(list, 0, kLanguageUnchecked);
  SendMessageW(d.dialog, WM_COMMAND, kCommandInvertChecks, 0);
  EXPECT_EQ("xxx x--", d.Checks());
  SendMessageW(d.dialog, WM_COMMAND, kCommandCheckAll, 0);
  EXPECT_EQ("xxx xxx", d.Checks());
  SendMessageW(d.dialog, WM_COMMAND, kCommandUncheckAll, 0);
  EXPECT_EQ("xxx ---", d.Checks());
  // A right click elsewhere than on the list opens no menu.
  EXPECT_FALSE(SendMessageW(d.dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(d.dialog, 1032)), 0));
  EXPECT_FALSE(d.ClosePosted());

  // Cancel and Escape post WM_CLOSE, whatever the notification code.
  SendMessageW(d.dialog, WM_COMMAND, MAKEWPARAM(kCancelButtonId, 0x1234), 0);
  EXPECT_TRUE(d.ClosePosted());
  // Install with an empty destination does nothing; a finished one closes the dialog.
  SetDlgItemTextW(d.dialog, kDestinationEditId, L"");
  SendMessageW(d.dialog, WM_COMMAND, kInstallButtonId, 0);
  EXPECT_FALSE(d.ClosePosted());
  {
    StoredDestination forget("");
    std::string destination = TestTempDir() + "\\Example Tool";
    SetDlgItemTextW(d.dialog, kDestinationEditId, AsWide(TestWidePath(destination).c_str()));
    for (int id : {kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) CheckDlgButton(d.dialog, id, BST_UNCHECKED);
    BoxReader box;
    WithModalAnswer(box.Answer(), [&] { return SendMessageW(d.dialog, WM_COMMAND, kInstallButtonId, 0); });
    EXPECT_EQ("Example Tool has been successfully installed.", box.text);
    EXPECT_EQ(2u, TestReadFile(destination + "\\tool.exe").size());
    EXPECT_TRUE(d.ClosePosted());
  }

  // WM_CLOSE ends the dialog, with no Cancel of the dialog manager's own on top.
  ShowWindow(d.dialog, SW_SHOWNA);
  SendMessageW(d.dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(d.dialog));
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, d.dialog, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
}

TEST(SetupDialog, DefaultsForNewAndExistingDestination) {
  std::string installer = WriteInstaller("ToolWindow");
  std::string existing = TestTempDir();
  {
    // Installed before without French: boxes unchecked, French unchecked.
    StoredDestination stored(existing);
    SetupDialogUnderTest d(installer);
    EXPECT_EQ(TestUtf8(TestWidePath(existing)), d.Text(kDestinationEditId));
    EXPECT_EQ("--- x-x", d.Checks());
  }
  {
    StoredDestination stored(existing + "\\not yet");
    SetupDialogUnderTest d(installer);
    EXPECT_EQ("xxx xxx", d.Checks());  // the Quick Launch box too, hidden or not
  }
}

TEST(CenterOnDesktop, HalvesTheDifferenceRoundingDown) {
  auto at = [](RECT desktop, RECT window) {
    POINT p = CenteredPosition(desktop, window);
    return std::to_string(p.x) + "," + std::to_string(p.y);
  };
  EXPECT_EQ("212,184", at({0, 0, 1024, 768}, {50, 70, 650, 470}));
  EXPECT_EQ("211,183", at({0, 0, 1024, 768}, {0, 0, 601, 401}));
  EXPECT_EQ("-38,-1", at({0, 0, 1024, 768}, {0, 0, 1099, 769}));  // larger than the desktop
  EXPECT_EQ("200,100", at({-200, -100, 800, 600}, {0, 0, 600, 500}));
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
  DWORD code = 1;
  GetExitCodeThread(closer, &code);
  CloseHandle(closer);
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(second));

  // Nothing to close, nothing to start.
  EXPECT_EQ(0, CloseInstances("SetupkitNoSuchClass", 0));
  EXPECT_EQ(nullptr, StartInstanceCloser(""));
  closer = StartInstanceCloser("SetupkitNoSuchClass");
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(closer, 2000));
  CloseHandle(closer);
}
