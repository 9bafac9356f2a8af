// setupkit: packs, lists, verifies and extracts installers (see commands.h).
#include <stdio.h>

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "setupkit/ansi_text.h"
#include "setupkit/commands.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types they use.
#include <io.h>
#include <shellapi.h>

#include "platform/wide.h"
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

int Run(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  // The narrow argv is in the ANSI code page; the tool takes its arguments in UTF-8.
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    args.push_back(Utf16ToUtf8(AsUtf16(wide[i])));
  }
  LocalFree(wide);
  // The console shows what the tool prints, UTF-8, and gets its own code page back afterwards.
  const UINT consoleCodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  const bool terminal = _isatty(_fileno(stderr)) != 0;
  const int exitCode = SetupkitRun(args, std::cout, std::cerr, terminal ? kProgressTerminal : kProgressLines);
  std::cout.flush();
  if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
  return exitCode;
#else
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  return SetupkitRun(args, std::cout, std::cerr, isatty(fileno(stderr)) != 0 ? kProgressTerminal : kProgressLines);
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // Big blocks (each pass's LZMA dictionary) come from the system and go back
  // at once: a heap would let the small blocks allocated between two passes
  // split the freed dictionary, and a command of several passes would need two.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "setupkit: not enough memory\n";
    return kExitFailure;
  }
}
