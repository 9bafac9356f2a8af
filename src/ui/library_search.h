// The first thing setup.exe and uninst.exe do: keep planted DLLs out.
#pragma once

// Limits the folders searched for a DLL loaded by name (by the installer or, lazily,
// by the system's own DLLs) to the system folder, so that a DLL planted beside the
// installer, typically in a download folder, is never loaded. Where kernel32 has no
// SetDefaultDllDirectories (Vista and 7 without update 2533623), SetDllDirectoryW(L"")
// takes only the current folder out of the search: the installer's own folder stays
// in it there, which such a system cannot change. Call it first thing in the
// process, before anything loads a library; the static imports are system DLLs
// resolved before that. Costs about 170 bytes of code, texts and imports.
void RestrictLibrarySearch();
