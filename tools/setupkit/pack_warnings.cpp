#include "setupkit/pack_warnings.h"

#include "archive/entry_parser.h"
#include "install/install_decisions.h"
#include "setupkit/ansi_text.h"
#include "setupkit/stored_text.h"
#include "setupkit/uninstaller.h"
#include "text/bounded_text.h"

namespace {

// Classes of windows that Windows and its common controls create. The installer
// closes every window of the product's class before it writes, so one of these
// would close dialogs, the taskbar or the desktop.
const char* const kSystemClasses[] = {
    "#32768",        "#32769",          "#32770",           "#32771",          "#32772",
    "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "Progman",   "WorkerW",         "Button",
    "Edit",          "Static",          "ListBox",          "ComboBox",        "ComboLBox",
    "ScrollBar",     "MDIClient",       "Message",          "IME",             "tooltips_class32",
    "SysListView32", "SysTreeView32",   "SysHeader32",      "SysTabControl32", "msctls_progress32",
    "msctls_statusbar32", "msctls_trackbar32", "msctls_updown32", "ToolbarWindow32", "ReBarWindow32",
    "RichEdit20W",   "RICHEDIT50W",     "ConsoleWindowClass", "CabinetWClass", "ExploreWClass",
};

bool IsProgramName(const std::string& ansiName) {
  const std::string file = stored::FoldKey(stored::LastComponent(ansiName));
  return file.size() > 4 && file.compare(file.size() - 4, 4, stored::FoldKey(".exe")) == 0;
}

std::string Quoted(const std::string& ansi) { return "\"" + ansi::ToUtf8(ansi) + "\""; }

}  // namespace

bool IsSystemWindowClass(const std::string& ansiClass) {
  for (const char* system : kSystemClasses) {
    if (stored::FoldKey(system) == stored::FoldKey(ansiClass)) return true;
  }
  return false;
}

std::string PackWarnings(const PackJob& job, const std::string& mainProgramArgument,
                         std::vector<std::string>* warnings) {
  warnings->clear();
  bool described = false;
  std::string problem;
  const std::string productName = ProductNameOf(job.files, &described, &problem);
  if (!problem.empty()) return problem;
  char16_t wideName[32];
  NarrowToWide(productName.c_str(), wideName, 32);
  if (!IsUsableProductName(wideName)) {
    warnings->push_back(
        std::string(described ? "the first line of FILE_ID.DIZ gives no product name the installer can use"
                              : "the product has no FILE_ID.DIZ") +
        ": the installer will show no product name, propose bare Program Files as the destination and write no "
        "uninstall entry and no program group; start FILE_ID.DIZ with a line such as \"Product Version 1.0\"");
  }

  // One install pass as the installer makes it, every language checked.
  InstallState state = {};
  SetWide(u"C:\\P", state.destination, 1024);
  NarrowToWide(job.mainProgramName.c_str(), state.mainProgram, 32);
  if (!IsUsableMainProgramName(state.mainProgram)) state.mainProgram[0] = 0;
  bool mainProgramFound = false;
  std::string chosenEntry, otherProgram;
  for (const ProductFile& file : job.files) {
    char16_t wide[kEntryNameUnits];
    NarrowToWide(file.name.c_str(), wide, kEntryNameUnits);
    const bool before = state.mainProgram[0] != 0;
    DecideInstallEntry(wide, u"", nullptr, nullptr, &state);
    const std::string component = stored::LastComponent(file.name);
    mainProgramFound |= stored::FoldKey(component) == stored::FoldKey(job.mainProgramName);
    if (!before && state.mainProgram[0] != 0) {
      chosenEntry = file.name;
    } else if (otherProgram.empty() && IsProgramName(file.name) && !IsUninstallerName(file.name)) {
      otherProgram = file.name;
    }
  }
  if (!job.mainProgramName.empty() && !mainProgramFound) {
    warnings->push_back("--main-program \"" + mainProgramArgument +
                        "\" is no entry's file name: the installer will link and start a program that is not "
                        "there; give the file name of one of the product's programs");
  } else if (job.mainProgramName.empty() && chosenEntry.empty()) {
    warnings->push_back("no entry is named E*.exe, so the installer will find no main program: it will create no "
                        "shortcuts and start nothing after the install; give --main-program");
  } else if (job.mainProgramName.empty() && !otherProgram.empty()) {
    warnings->push_back("the installer will take " + Quoted(chosenEntry) +
                        " as the main program (the first entry named E*.exe), not " + Quoted(otherProgram) +
                        "; give --main-program to choose");
  }

  if (state.uninstaller[0] == 0) {
    warnings->push_back("the product has no UnInst.exe: the installer will write no uninstall entry; add "
                        "--uninstaller or an entry UnInst.exe");
  }

  // Without a class of its own the installer looks for windows of the product name.
  const std::string windowClass = job.productWindowClass.empty() ? productName : job.productWindowClass;
  if (IsSystemWindowClass(windowClass)) {
    warnings->push_back("the window class " + Quoted(windowClass) +
                        " belongs to Windows: the installer would close every such window before it writes; give "
                        "--window-class with the class of the product's own main window");
  }
  return std::string();
}
