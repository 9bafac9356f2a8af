/* load_by_name NAME: loads the DLL NAME by name, with the search order of a
 * program that leaves it as the system sets it. Exit code 0 when a DLL was
 * loaded, 1 when none was found, 2 without a name. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  return LoadLibraryW(argv[1]) != NULL ? 0 : 1;
}
