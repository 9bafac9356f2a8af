#include "uninstall/uninstall_run.h"

#include <shlobj.h>

#include "archive/file_routines.h"
#include "install/folder_record.h"
#include "install/install_decisions.h"
#include "install/install_record.h"
#include "install/shell_guard.h"
#include "install/shortcuts.h"
#include "platform/wide.h"
#include "ui/messages.h"
#include "ui/product_closer.h"
#include "text/bounded_text.h"
#include "uninstall/uninstall_decisions.h"
#include "uninstall/uninstall_files.h"
#include "uninstall/uninstall_registration.h"
#include "uninstall/uninstall_texts.h"
#include "archive/pe_image.h"
#include "archive/uninstall_trailer.h"

namespace {

// The final message: its sentences and up to a few dozen file names.
const int kReportUnits = 4096;
const int kListUnits = 2048;
// A product window that ignores WM_DESTROY must not hold the uninstaller forever.
const DWORD kCloserWaitMs = 10000;
const DWORD kProductExitWaitMs = 10000;
const int kProcessesMax = 16;
// After the uninstaller has ended, the system may hold its image a moment longer.
const int kDeleteTries = 50;
const DWORD kDeletePauseMs = 100;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Some 50 KB of program, a trailer of at most kTrailerBodyMax and a signature of a few KB.
const uint32_t kProgramMax = 4u << 20;

struct Removal {
  char16_t self[kPathUnits];    // the running program
  char16_t folder[kPathUnits];  // where it was installed
  char16_t shownName[kNameFieldUnits];    // the trailer's product name, for the messages
  char16_t productName[kNameFieldUnits];  // the same when usable as a path component, else empty
  Trailer trailer;
  const StringTable* table;
  char16_t atRestart[kListUnits];   // names scheduled for deletion, one a line
  char16_t notDeleted[kListUnits];  // names that could be neither deleted nor scheduled
  int scheduled;
  bool recordMissing;  // no whole record of installed files: older versions' files may remain
};

void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void AddLine(const char16_t* name, char16_t* list) {
  AppendWide(u"\n", list, kListUnits);
  AppendWide(name, list, kListUnits);
}

// Reads a whole program into *block (the caller frees it), *size bytes.
// False when it cannot be read or is larger than any uninstaller.
bool ReadWholeProgram(PlatformFile file, uint8_t** block, uint32_t* size) {
  *size = FileSizeOrZero(file);
  // One unsigned comparison refuses both an empty file (a size that could not be read) and one too large.
  *block = *size - 1 >= kProgramMax ? nullptr : static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, *size));
  // A file opened anew is read from its start; a local file in one read.
  uint32_t got = 0;
  return *block != nullptr && PlatformReadFile(file, *block, *size, &got) && got == *size;
}

// Reads the program's own trailer, where its image data ends (in front of a
// signature), into *block (the caller frees it), which trailer's names then
// point into. Returns a TrailerResult.
int ReadOwnTrailer(const char16_t* self, uint8_t** block, Trailer* trailer) {
  PlatformFile file = PLATFORM_INVALID_FILE;
  if (OpenFileHandle(self, false, &file) != 0) return kTrailerMissing;
  uint32_t size = 0;
  PeImage image;
  int result = ReadWholeProgram(file, block, &size) &&
                       PeImageRead(*block, size, size, &image) == kPeImageOk
                   ? TrailerRead(*block, image.dataEnd, trailer)
                   : kTrailerMissing;
  CloseFileHandle(file);
  return result;
}

// Ends every running copy of the product and waits for their processes, so
// that their files are free to go.
void CloseProduct(const char* windowClass) {
  if (windowClass[0] == 0) return;
  HANDLE processes[kProcessesMax];
  DWORD count = 0;
  for (HWND window = FindWindowExA(nullptr, nullptr, windowClass, nullptr); window != nullptr && count < kProcessesMax;
       window = FindWindowExA(nullptr, window, windowClass, nullptr)) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process != nullptr) processes[count++] = process;
  }
  HANDLE closer = StartInstanceCloser(windowClass);
  if (closer != nullptr) {
    WaitForSingleObject(closer, kCloserWaitMs);
    CloseHandle(closer);
  }
  if (count > 0) WaitForMultipleObjects(count, processes, TRUE, kProductExitWaitMs);
  for (DWORD i = 0; i < count; ++i) CloseHandle(processes[i]);
}

// Deletes a file (see RemoveInstalledFile); one that goes at the next restart
// or stays is noted under name for the final message.
void RemoveFile(Removal* removal, const char16_t* path, const char16_t* name) {
  int removed = RemoveInstalledFile(path);
  if (removed == kFileAtRestart) {
    AddLine(name, removal->atRestart);
    removal->scheduled += 1;
  } else if (removed == kFileKept) {
    AddLine(name, removal->notDeleted);
  }
}

// Deletes folder\name when it is a file there, never the program itself.
void RemoveListedFile(Removal* removal, const char16_t* name) {
  char16_t path[kPathUnits];
  // Only plain names of the folder, as the installer writes them: no folder, drive, stream or device.
  if (!IsUsableMainProgramName(name)) return;
  if (SetWide(removal->folder, path, kPathUnits) != 0 || AppendPathComponent(name, path, kPathUnits) != 0) return;
  if (lstrcmpiW(AsWide(path), AsWide(removal->self)) == 0) return;
  DWORD attributes = GetFileAttributesW(AsWide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
  RemoveFile(removal, path, name);
}

bool TrailerListsName(const Trailer* trailer, const char16_t* name) {
  uint32_t cursor = 0;
  char listed[kTrailerNameMax + 1];
  char16_t wide[kPathUnits];
  while (TrailerNextFile(trailer, &cursor, listed, sizeof(listed))) {
    NarrowToWide(listed, wide, kPathUnits);
    if (SameTextFolded(wide, name)) return true;
  }
  return false;
}

// The files of the trailer's list, then those the folder's record names (what
// every install wrote there, older versions' files too), then the record.
void DeleteListedFiles(Removal* removal) {
  uint32_t cursor = 0;
  char name[kTrailerNameMax + 1];
  char16_t wide[kPathUnits];
  while (TrailerNextFile(&removal->trailer, &cursor, name, sizeof(name))) {
    if (TrailerFileName(name, wide, kPathUnits)) RemoveListedFile(removal, wide);
  }
  uint8_t* block = nullptr;
  RecordView record;
  removal->recordMissing = RecordLoad(removal->folder, &block, &record) != kRecordOk;
  for (cursor = 0; RecordNextName(&record, &cursor, wide, kPathUnits);) {
    if (!TrailerListsName(&removal->trailer, wide)) RemoveListedFile(removal, wide);
  }
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
  RemoveListedFile(removal, kRecordFileName);
}

struct LinkTargetCall {
  const char16_t* link;
  char16_t target[kPathUnits];
};

void ReadLinkTarget(void* argument) {
  LinkTargetCall* call = static_cast<LinkTargetCall*>(argument);
  IShellLinkW* shellLink = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shellLink))) &&
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(AsWide(call->link), STGM_READ))) {
    shellLink->GetPath(AsWide(call->target), kPathUnits, nullptr, SLGP_RAWPATH);
  }
  if (file != nullptr) file->Release();
  if (shellLink != nullptr) shellLink->Release();
}

// Deletes the shortcut file link when it is there and points into the folder.
void RemoveLinkIntoFolder(Removal* removal, const char16_t* link) {
  if (!PathExists(link)) return;
  LinkTargetCall call = {link, {}};
  // A shell extension that faults leaves the target unknown, and the link stays.
  if (!RunGuarded(ReadLinkTarget, &call)) return;
  char16_t* target = call.target;
  target[kPathUnits - 1] = 0;
  StripFileName(target);
  if (SameFolder(target, removal->folder)) RemoveFile(removal, link, link);
}

void RemoveLinkIn(Removal* removal, const char16_t* folder, const char16_t* name) {
  char16_t link[kPathUnits];
  if (BuildShortcutPath(folder, name, link, kPathUnits)) RemoveLinkIntoFolder(removal, link);
}

// Every link and the group are named after the product: without a usable name there is nothing of ours to find.
void RemoveShortcuts(Removal* removal) {
  if (removal->productName[0] == 0) return;
  char16_t folder[kPathUnits];
  FindSpecialFolder(CSIDL_COMMON_PROGRAMS, folder);
  if (folder[0] == 0) FindSpecialFolder(CSIDL_PROGRAMS, folder);
  if (folder[0] != 0 && AppendPathComponent(removal->productName, folder, kPathUnits) == 0) {
    RemoveLinkIn(removal, folder, removal->productName);
    RemoveLinkIn(removal, folder, kUninstallLinkName);
    // Only an empty folder goes: links the user put there keep it.
    RemoveDirectoryW(AsWide(folder));
  }
  FindSpecialFolder(CSIDL_DESKTOP, folder);
  RemoveLinkIn(removal, folder, removal->productName);
  FindQuickLaunchFolder(folder, kPathUnits);
  RemoveLinkIn(removal, folder, removal->productName);
}

// Whether the folder holds anything but the program itself and the files
// scheduled for deletion: then it stays.
bool FolderKeepsOthers(const Removal* removal) {
  char16_t pattern[kPathUnits];
  SetWide(removal->folder, pattern, kPathUnits);
  if (AppendPathComponent(u"*", pattern, kPathUnits) != 0) return true;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(AsWide(pattern), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  int entries = 0;
  const char16_t* selfName = removal->self + FileNameOffset(removal->self);
  do {
    const char16_t* name = AsUtf16(found.cFileName);
    if (WideLength(name) > 0 && name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0))) continue;
    if (lstrcmpiW(found.cFileName, AsWide(selfName)) != 0) entries += 1;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries > removal->scheduled;
}

// Starts a copy of the program in a folder of its own in the temporary folder,
// handing it this process; the copy deletes the program once this process has
// ended. The copy is held unchangeable until its process runs.
bool StartSelfRemoval(const char16_t* self) {
  char16_t copy[kPathUnits], temp[kPathUnits];
  HANDLE held = CopyProgramHeld(self, copy);
  if (held == INVALID_HANDLE_VALUE) return false;
  SetWide(copy, temp, kPathUnits);
  StripFileName(temp);
  HANDLE me = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                       SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
    CloseHandle(held);
    DeleteFileW(AsWide(copy));
    RemoveDirectoryW(AsWide(temp));
    return false;
  }
  wchar_t command[kPathUnits + 40];
  wsprintfW(command, L"\"%s\" /X=%lu", AsWide(copy), static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(me)));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  // The copy works from the temporary folder, so that no process keeps the installed folder as its current one.
  bool ok = CreateProcessW(AsWide(copy), command, nullptr, nullptr, TRUE, 0, nullptr, AsWide(temp), &startup,
                           &started) != FALSE;
  CloseHandle(me);
  CloseHandle(held);
  if (!ok) {
    DeleteFileW(AsWide(copy));
    RemoveDirectoryW(AsWide(temp));
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

void ShowReport(const Removal* removal, UINT icon) {
  char16_t text[kReportUnits], part[kListUnits];
  ComposeText(removal->table, kTextUninstallDone, removal->shownName, text, kReportUnits);
  if (FolderKeepsOthers(removal)) {
    ComposeText(removal->table, kTextUninstallFolderKept, removal->folder, part, kListUnits);
    AppendWide(u"\n\n", text, kReportUnits);
    AppendWide(part, text, kReportUnits);
  }
  const struct {
    int16_t id;
    const char16_t* names;
  } lists[] = {{kTextUninstallAtRestart, removal->atRestart}, {kTextUninstallNotDeleted, removal->notDeleted}};
  for (const auto& list : lists) {
    if (list.names[0] == 0) continue;
    LookupString(removal->table, list.id, part, kListUnits);
    AppendWide(u"\n\n", text, kReportUnits);
    AppendWide(part, text, kReportUnits);
    AppendWide(list.names, text, kReportUnits);
  }
  if (removal->recordMissing) {
    LookupString(removal->table, kTextUninstallNoRecord, part, kListUnits);
    AppendWide(u"\n\n", text, kReportUnits);
    AppendWide(part, text, kReportUnits);
  }
  LookupString(removal->table, kTextUninstallCaption, part, kListUnits);
  ShowMessage(nullptr, text, part, MB_OK | icon);
}

}  // namespace

int RunUninstall(bool silent) {
  Removal* removal = static_cast<Removal*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Removal)));
  if (removal == nullptr) return kUninstallDamaged;
  char language[4];
  LanguageIdToCode(GetSystemDefaultLangID(), language);
  removal->table = UninstallStringTableFor(language);
  char16_t caption[kNameFieldUnits * 2];
  LookupString(removal->table, kTextUninstallCaption, caption, kNameFieldUnits * 2);

  DWORD length = GetModuleFileNameW(nullptr, AsWide(removal->self), kPathUnits);
  uint8_t* block = nullptr;
  int read = length == 0 || length >= static_cast<DWORD>(kPathUnits)
                 ? kTrailerMissing
                 : ReadOwnTrailer(removal->self, &block, &removal->trailer);
  if (read != kTrailerOk) {
    char16_t text[512];
    LookupString(removal->table, kTextUninstallDamaged, text, 512);
    if (!silent) ShowMessage(nullptr, text, caption, MB_OK | MB_ICONERROR);
    Release(block);
    Release(removal);
    return kUninstallDamaged;
  }
  SetWide(removal->self, removal->folder, kPathUnits);
  StripFileName(removal->folder);
  NarrowToWide(removal->trailer.productName, removal->shownName, kNameFieldUnits);
  TrailerProductName(removal->trailer.productName, removal->productName, kNameFieldUnits);

  int result = kUninstallDeclined;
  char16_t question[kListUnits];
  ComposeText(removal->table, kTextUninstallConfirm, removal->shownName, question, kListUnits);
  if (silent || ShowMessage(nullptr, question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    CloseProduct(removal->trailer.windowClass);
    HRESULT com = CoInitialize(nullptr);
    DeleteListedFiles(removal);
    RemoveShortcuts(removal);
    RemoveRegistration(removal->productName, removal->trailer.productCode, removal->folder, removal->notDeleted,
                       kListUnits);
    if (SUCCEEDED(com)) CoUninitialize();
    if (!StartSelfRemoval(removal->self)) {
      // Without its copy the program and the folder can only go at the next restart.
      RemoveFile(removal, removal->self, removal->self + FileNameOffset(removal->self));
      MoveFileExW(AsWide(removal->folder), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else if (removal->scheduled > 0) {
      MoveFileExW(AsWide(removal->folder), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    bool complete = removal->atRestart[0] == 0 && removal->notDeleted[0] == 0;
    if (!silent) ShowReport(removal, complete ? MB_ICONINFORMATION : MB_ICONWARNING);
    result = complete ? kUninstallRemoved : kUninstallIncomplete;
  }
  Release(block);
  Release(removal);
  return result;
}

int FinishSelfRemoval(HANDLE original) {
  char16_t path[kPathUnits] = {}, self[kPathUnits] = {};
  DWORD size = kPathUnits;
  bool named = QueryFullProcessImageNameW(original, 0, AsWide(path), &size) != FALSE;
  // Held from the start: the program and its folder are deleted through these
  // handles, so a folder renamed meanwhile is still the one removed, and a
  // decoy put at the old path is not.
  HANDLE program = named ? CreateFileW(AsWide(path), GENERIC_READ | DELETE, kShareAll, nullptr, OPEN_EXISTING, 0,
                                       nullptr)
                         : INVALID_HANDLE_VALUE;
  StripFileName(path);
  HANDLE folder = program != INVALID_HANDLE_VALUE ? OpenFolderToDelete(path) : INVALID_HANDLE_VALUE;
  WaitForSingleObject(original, INFINITE);
  CloseHandle(original);
  GetModuleFileNameW(nullptr, AsWide(self), kPathUnits);
  MoveFileExW(AsWide(self), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  StripFileName(self);
  MoveFileExW(AsWide(self), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  GetModuleFileNameW(nullptr, AsWide(self), kPathUnits);

  // The original must be this very program, byte for byte.
  uint8_t* blocks[2] = {};
  uint32_t sizes[2] = {};
  PlatformFile own = PLATFORM_INVALID_FILE;
  bool same = program != INVALID_HANDLE_VALUE && OpenFileHandle(self, false, &own) == 0;
  PlatformFile files[2] = {program, own};
  for (int i = 0; same && i < 2; ++i) same = ReadWholeProgram(files[i], &blocks[i], &sizes[i]);
  if (own != PLATFORM_INVALID_FILE) CloseFileHandle(own);
  same = same && sizes[0] == sizes[1];
  for (uint32_t i = 0; same && i < sizes[0]; ++i) same = blocks[0][i] == blocks[1][i];
  Release(blocks[0]);
  Release(blocks[1]);
  FILE_DISPOSITION_INFO disposition = {TRUE};
  bool deleted = false;
  for (int tries = 0; same && tries < kDeleteTries; ++tries) {
    deleted = SetFileInformationByHandle(program, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
    if (deleted) break;
    Sleep(kDeletePauseMs);
  }
  // The program goes when its handle closes, and then the folder, when nothing else is left in it.
  if (program != INVALID_HANDLE_VALUE) CloseHandle(program);
  if (deleted) {
    DeleteHeldFolder(folder);
  } else if (folder != INVALID_HANDLE_VALUE) {
    CloseHandle(folder);
  }
  return deleted ? 0 : 1;
}
