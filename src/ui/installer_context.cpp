#include "ui/installer_context.h"

namespace {
InstallerContext* g_context = nullptr;
}

InstallerContext* InstallerContextGet() { return g_context; }

void InstallerContextSet(InstallerContext* context) { g_context = context; }
