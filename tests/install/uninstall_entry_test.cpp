#include "install/uninstall_entry.h"

#include <gtest/gtest.h>
#include <string.h>

#include "install_test_util.h"
#include "text/bounded_text.h"

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kProductKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zq Test Tool";

// A value as its text when it is a REG_SZ stored with its terminator, else "(type, bytes)".
std::string Value(const wchar_t* name, const wchar_t* key = kProductKey) {
  wchar_t value[1100] = {0};
  DWORD type = 0, size = sizeof(value);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, value, &size)) return "(none)";
  if (type == REG_SZ && size == (wcslen(value) + 1) * 2) return TestUtf8(AsUtf16(value));
  return "(" + std::to_string(type) + ", " + std::to_string(size) + ")";
}

// The product "Zq Test Tool" with no uninstall entry and no program group before or after.
struct ProductScope : TestDialog {
  ComScope com;
  fs::path group = TestSpecialFolder(CSIDL_COMMON_PROGRAMS) / "Zq Test Tool";
  ProductScope() {
    strcpy(context.productName, "Zq Test Tool");
    EXPECT_EQ("(none)", Value(L"DisplayName"));
    EXPECT_FALSE(fs::exists(group));
  }
  ~ProductScope() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKey);
    std::error_code ignored;
    fs::remove_all(group, ignored);
  }
};

}  // namespace

TEST(WriteUninstallEntry, FiveTextValuesRewrittenValueByValue) {
  ProductScope p;
  WriteUninstallEntry(u"C:\\Apps\\Product\\UnInst.exe", u"C:\\Apps\\Product\\Editor.exe");
  EXPECT_EQ("Zq Test Tool|C:\\Apps\\Product\\UnInst.exe|C:\\Apps\\Product\\Editor.exe|Halvorn|" +
                TestUtf8(kPublisherAddress),
            Value(L"DisplayName") + "|" + Value(L"UninstallString") + "|" + Value(L"DisplayIcon") + "|" +
                Value(L"Publisher") + "|" + Value(L"URLInfoAbout"));
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, L"EstimatedSize", REG_SZ, L"12", 6);
  WriteUninstallEntry(u"D:\\Product\\UNINST.EXE", nullptr);
  EXPECT_EQ("D:\\Product\\UNINST.EXE||12", Value(L"UninstallString") + "|" + Value(L"DisplayIcon") + "|" +
                                               Value(L"EstimatedSize"));

  // Without a name the values would land in the Uninstall key itself.
  p.context.productName[0] = 0;
  WriteUninstallEntry(u"D:\\Other\\UnInst.exe", u"D:\\Other\\Editor.exe");
  EXPECT_EQ("(none)", Value(L"UninstallString", kUninstallKey));
}

TEST(CreateProgramGroup, LinksOnlyIntoANewGroupFolder) {
  ProductScope p;
  InstallState state = {};
  CopyWide(u"C:\\Apps\\Zq", state.destination, 1024);
  CopyWide(u"Editor.exe", state.mainProgram, 32);
  CreateProgramGroup(&state);
  EXPECT_EQ("C:\\Apps\\Zq\\Editor.exe | C:\\Apps\\Zq |  |  | 5", TestReadShortcut(p.group / "Zq Test Tool.lnk"));
  EXPECT_FALSE(fs::exists(p.group / "Uninstall.lnk"));

  // A later installation finds the folder and leaves it as it is.
  CopyWide(u"D:\\Elsewhere", state.destination, 1024);
  CopyWide(u"UnInst.exe", state.uninstaller, 32);
  CreateProgramGroup(&state);
  EXPECT_FALSE(fs::exists(p.group / "Uninstall.lnk"));
  fs::remove_all(p.group);
  CreateProgramGroup(&state);
  EXPECT_EQ("D:\\Elsewhere\\UnInst.exe | D:\\Elsewhere |  |  | 5", TestReadShortcut(p.group / "Uninstall.lnk"));
}
