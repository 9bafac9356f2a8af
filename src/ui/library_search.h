// The first thing setup.exe and uninst.exe do: keep planted DLLs out.
#pragma once

// Limits the folders searched for a DLL loaded by name (by the installer or, lazily,
// by the system's own DLLs) to the system folder, so that a DLL planted beside the
// installer, typically in a download folder, is never loaded. Where kernel32 has no
// SetDefaultDllDirectories (Vista and 7 without update 2533623), SetDllDirectoryW(L"")
// takes only the current folder out of the search: the installer's own folder stays
// in it there, which such a system cannot change. Call it first thing in the
// process, before anything loads a library. Costs about 170 bytes of code, texts and imports.
//
// The load-time imports are resolved before that call. Both programs therefore
// import only DLLs whose own imports the system resolves from its folder, and
// carry a load configuration (library_search.cpp) whose DependentLoadFlags ask
// the loader to search the system folder only for them (cmake/set-load-config.sh
// points the image's directory entry at it, which the GNU linker does not).
// shell32.dll is not imported: its imports (shlwapi, shcore) would be searched
// for in the program's folder first wherever they are no known DLL.
void RestrictLibrarySearch();

// The function name of shell32.dll in the system folder, loaded there by full
// path on first use; null when it cannot be found. Cast to the function's type.
void* ShellProcedure(const char* name);
