#include "setupkit/pack_warnings.h"

#include <stdint.h>

#include "setupkit/ansi_text.h"
#include "setupkit/install_simulation.h"
#include "setupkit/stored_text.h"
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

namespace {

// What the install pass makes of the main program: none, another program
// picked by the installer's rule, or a --main-program no entry has.
void MainProgramWarnings(const PackJob& job, const std::string& mainProgramArgument,
                         std::vector<std::string>* warnings) {
  SimulatedInstall install;
  SimulateProductInstall(job.files, job.mainProgramName, &install);
  bool mainProgramFound = false;
  std::string otherProgram;
  for (size_t i = 0; i < job.files.size(); ++i) {
    const std::string& name = job.files[i].name;
    mainProgramFound |= stored::FoldKey(stored::LastComponent(name)) == stored::FoldKey(job.mainProgramName);
    if (i != install.mainProgramEntry && otherProgram.empty() && IsProgramName(name) && !IsUninstallerName(name)) {
      otherProgram = name;
    }
  }
  const bool chosen = install.mainProgramEntry != SIZE_MAX;
  if (!job.mainProgramName.empty() && !mainProgramFound) {
    warnings->push_back("--main-program \"" + mainProgramArgument +
                        "\" is no entry's file name: the installer will link and start a program that is not "
                        "there; give the file name of one of the product's programs");
  } else if (job.mainProgramName.empty() && !chosen) {
    warnings->push_back("no entry is named E*.exe, so the installer will find no main program: it will create no "
                        "shortcuts and start nothing after the install; give --main-program");
  } else if (job.mainProgramName.empty() && !otherProgram.empty()) {
    warnings->push_back("the installer will take " + Quoted(job.files[install.mainProgramEntry].name) +
                        " as the main program (the first entry named E*.exe), not " + Quoted(otherProgram) +
                        "; give --main-program to choose");
  }
  if (install.state.uninstaller[0] == 0) {
    warnings->push_back("the product has no UnInst.exe: the installer will write no uninstall entry; add "
                        "--uninstaller or an entry UnInst.exe");
  }
}

}  // namespace

std::vector<std::string> PackWarnings(const PackJob& job, const std::string& mainProgramArgument) {
  std::vector<std::string> warnings;
  char16_t wideName[kNameFieldUnits];
  NarrowToWide(job.productName.c_str(), wideName, kNameFieldUnits);
  if (!IsUsableProductName(wideName)) {
    warnings.push_back(
        std::string(job.described ? "the first line of FILE_ID.DIZ gives no product name the installer can use"
                                  : "the product has no FILE_ID.DIZ") +
        ": the installer will show no product name, propose bare Program Files as the destination and write no "
        "uninstall entry and no program group; start FILE_ID.DIZ with a line such as \"Product Version 1.0\"");
  }
  MainProgramWarnings(job, mainProgramArgument, &warnings);
  // Without a class of its own the installer looks for windows of the product name.
  const std::string windowClass = job.productWindowClass.empty() ? job.productName : job.productWindowClass;
  if (IsSystemWindowClass(windowClass)) {
    warnings.push_back("the window class " + Quoted(windowClass) +
                       " belongs to Windows: the installer would close every such window before it writes; give "
                       "--window-class with the class of the product's own main window");
  }
  return warnings;
}
