// `pack`'s warnings: products that pack fine but that the installer would treat
// otherwise than their maker probably expects. Every finding comes from the
// installer's own rules (install/install_decisions.h, text/product_description.h),
// so setupkit and setup.exe cannot disagree about them.
#pragma once

#include <string>
#include <vector>

#include "setupkit/packer.h"

// The warnings for a job whose files and texts have passed every check (its
// files include UnInst.exe when pack adds an uninstaller), each one line saying
// what the installer will do and how to change it; `mainProgramArgument` is
// --main-program as given (UTF-8) for the messages.
std::vector<std::string> PackWarnings(const PackJob& job, const std::string& mainProgramArgument);

// True when windows of this class belong to Windows itself (dialogs, the
// taskbar, the desktop, common controls): letters compared without case.
bool IsSystemWindowClass(const std::string& ansiClass);
