#include "ui_automation.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

const DWORD kSendTimeoutMs = 5000;
const DWORD kPollMs = 40;

// The message box's text control: the same id on Windows and on Wine.
const int kMessageBoxTextId = 0xFFFF;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR value = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &value)) return false;
  if (result != nullptr) *result = static_cast<LRESULT>(value);
  return true;
}

DWORD ProcessOf(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return id;
}

// A block of memory inside another process, freed at the end of the scope.
struct RemoteMemory {
  HANDLE process = nullptr;
  uint8_t* address = nullptr;
  SIZE_T size = 0;

  RemoteMemory(HWND window, SIZE_T bytes) : size(bytes) {
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, ProcessOf(window));
    if (process == nullptr) return;
    address = static_cast<uint8_t*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~RemoteMemory() {
    if (address != nullptr) VirtualFreeEx(process, address, 0, MEM_RELEASE);
    if (process != nullptr) CloseHandle(process);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool ok() const { return address != nullptr; }
  bool Write(SIZE_T offset, const void* bytes, SIZE_T count) {
    SIZE_T done = 0;
    return offset + count <= size && WriteProcessMemory(process, address + offset, bytes, count, &done) && done == count;
  }
  bool Read(SIZE_T offset, void* bytes, SIZE_T count) {
    SIZE_T done = 0;
    return offset + count <= size && ReadProcessMemory(process, address + offset, bytes, count, &done) && done == count;
  }
};

struct FindContext {
  DWORD processId;
  const wchar_t* className;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  FindContext* context = reinterpret_cast<FindContext*>(param);
  if (ProcessOf(window) != context->processId || !IsWindowVisible(window)) return TRUE;
  if (UiClassName(window) == context->className) context->found->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
  if (UiClassName(child) == L"Button" && IsWindowVisible(child)) {
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(UiText(child));
  }
  return TRUE;
}

LPARAM KeyParam(UINT virtualKey, bool up) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  return up ? (scan | 1 | (1u << 30) | (1u << 31)) : (scan | 1);
}

void PostKey(HWND window, UINT virtualKey) {
  PostMessageW(window, WM_KEYDOWN, virtualKey, KeyParam(virtualKey, false));
  PostMessageW(window, WM_KEYUP, virtualKey, KeyParam(virtualKey, true));
}

// What GDI reads back from the screen's rectangle: rows top to bottom, 3 bytes (R, G, B) a pixel.
bool GrabScreen(const RECT& rect, std::vector<uint8_t>* rgb) {
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
    if (ok) {
      const uint8_t* bgrx = static_cast<const uint8_t*>(bits);
      rgb->resize(static_cast<size_t>(width) * height * 3);
      for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        (*rgb)[i * 3] = bgrx[i * 4 + 2];
        (*rgb)[i * 3 + 1] = bgrx[i * 4 + 1];
        (*rgb)[i * 3 + 2] = bgrx[i * 4];
      }
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutU32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutU32(out, Crc32(out->data() + start, out->size() - start));
}

// PNG, 8-bit RGB, the image data in stored (uncompressed) deflate blocks: no
// compressor needed, at about 600 KB for a picture of the dialog.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
    raw.insert(raw.end(), row, row + width * 3);
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t offset = 0; offset < raw.size() || offset == 0; offset += 65535) {
    size_t count = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
    bool last = offset + count >= raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<uint8_t>(count));
    zlib.push_back(static_cast<uint8_t>(count >> 8));
    zlib.push_back(static_cast<uint8_t>(~count));
    zlib.push_back(static_cast<uint8_t>(~count >> 8));
    zlib.insert(zlib.end(), raw.begin() + offset, raw.begin() + offset + count);
    if (last) break;
  }
  PutU32(&zlib, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  PutU32(&header, static_cast<uint32_t>(width));
  PutU32(&header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // depth 8, RGB, deflate, no filter set, no interlace
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", zlib);
  PutChunk(&png, "IEND", {});
  return png;
}

// Under Wine a popup menu of another process is missing from what GDI reads
// back from the screen, while the X server shows it (the dialog under it is
// read fine, and is not always on the X server yet). So a menu's rectangle is
// read from the X server, with ImageMagick's `import` as raw RGB, which Wine
// starts like any program. False where that cannot be done.
bool GrabFromX(const RECT& rect, std::vector<uint8_t>* rgb) {
  typedef char*(CDECL * UnixFileName)(const wchar_t*);
  UnixFileName unixFileName = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const wchar_t kImport[] = L"Z:\\usr\\bin\\import";
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  if (unixFileName == nullptr || GetFileAttributesW(kImport) == INVALID_FILE_ATTRIBUTES ||
      !GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"ui", 0, file)) {
    return false;
  }
  std::wstring target;
  if (char* unixPath = unixFileName(file)) {
    for (const char* c = unixPath; *c != 0; ++c) target += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    HeapFree(GetProcessHeap(), 0, unixPath);
  }
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  wchar_t geometry[64];
  swprintf(geometry, 64, L"%dx%d+%ld+%ld", width, height, rect.left, rect.top);
  std::wstring commandLine =
      std::wstring(kImport) + L" -window root -crop " + geometry + L" +repage -depth 8 \"rgb:" + target + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  bool ok = !target.empty() &&
            CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
  if (ok) {
    WaitForSingleObject(info.hProcess, 20000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    // Wine does not hand back a Unix program's exit code: the file's size tells.
    FILE* raw = _wfopen(file, L"rb");
    rgb->assign(static_cast<size_t>(width) * height * 3, 0);
    ok = raw != nullptr && fread(rgb->data(), 1, rgb->size(), raw) == rgb->size();
    if (raw != nullptr) fclose(raw);
  }
  DeleteFileW(file);
  return ok;
}

}  // namespace

bool UiStart(const std::wstring& program, const std::wstring& arguments, UiProcess* out) {
  *out = UiProcess();
  size_t separator = program.find_last_of(L"\\/");
  std::wstring folder = separator == std::wstring::npos ? std::wstring() : program.substr(0, separator);
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  out->process = info.hProcess;
  out->id = info.dwProcessId;
  return true;
}

long UiWaitExit(const UiProcess& process, DWORD timeoutMs) {
  if (process.process == nullptr || WaitForSingleObject(process.process, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process.process, &code);
  return static_cast<long>(code);
}

void UiRelease(UiProcess* process) {
  if (process->process != nullptr) {
    if (WaitForSingleObject(process->process, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process->process, 99);
      WaitForSingleObject(process->process, 5000);
    }
    CloseHandle(process->process);
  }
  *process = UiProcess();
}

std::vector<HWND> UiTopWindows(DWORD processId, const wchar_t* className) {
  std::vector<HWND> found;
  FindContext context = {processId, className, &found};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
  return found;
}

HWND UiWaitDialog(DWORD processId, int markerId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    for (HWND window : UiTopWindows(processId, L"#32770")) {
      if (GetDlgItem(window, markerId) != nullptr) return window;
    }
    Sleep(kPollMs);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool UiWaitMessageBox(DWORD processId, int markerId, DWORD timeoutMs, UiMessageBox* out) {
  *out = UiMessageBox();
  DWORD start = GetTickCount();
  do {
    for (HWND window : UiTopWindows(processId, L"#32770")) {
      if (GetDlgItem(window, markerId) != nullptr || GetDlgItem(window, kMessageBoxTextId) == nullptr) continue;
      out->window = window;
      out->caption = UiText(window);
      out->text = UiControlText(window, kMessageBoxTextId);
      EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(&out->buttons));
      // The icon is the one static with SS_ICON.
      for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (UiClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(child)) {
          out->hasIcon = true;
        }
      }
      return true;
    }
    Sleep(kPollMs);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

bool UiAnswerMessageBox(const UiMessageBox& box, int buttonId) {
  return UiPress(box.window, buttonId) && UiWaitGone(box.window, 5000);
}

std::wstring UiText(HWND window) {
  LRESULT length = 0;
  if (window == nullptr || !Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) return std::wstring();
  text.resize(static_cast<size_t>(copied) < text.size() ? static_cast<size_t>(copied) : text.size() - 1);
  return text;
}

std::wstring UiControlText(HWND dialog, int id) { return UiText(GetDlgItem(dialog, id)); }

std::wstring UiClassName(HWND window) {
  wchar_t name[64] = {0};
  GetClassNameW(window, name, 64);
  return name;
}

int UiCheckState(HWND dialog, int id) {
  LRESULT state = 0;
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || !Send(control, BM_GETCHECK, 0, 0, &state)) return -1;
  return static_cast<int>(state);
}

bool UiControlVisible(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && IsWindowVisible(control);
}

UiFont UiControlFont(HWND dialog, int id) {
  UiFont font;
  LRESULT handle = 0;
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || !Send(control, WM_GETFONT, 0, 0, &handle)) return font;
  font.handle = reinterpret_cast<HFONT>(handle);
  font.system = font.handle == nullptr;
  LOGFONTW description = {};
  if (font.handle != nullptr && GetObjectW(font.handle, sizeof(description), &description) == sizeof(description)) {
    font.described = true;
    font.height = description.lfHeight;
    font.weight = description.lfWeight;
    font.face = description.lfFaceName;
  }
  return font;
}

int UiInkHeight(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  RECT rect;
  std::vector<uint8_t> rgb;
  if (control == nullptr || !GetWindowRect(control, &rect) || !GrabScreen(rect, &rgb)) return -1;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  // Text is drawn dark on the light face colour: a row holds ink when any of
  // its pixels is much darker than the row's first pixel (the background).
  int top = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
    int background = row[0] + row[1] + row[2];
    for (int x = 0; x < width; ++x) {
      if (row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2] + 150 < background) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  return top < 0 ? 0 : bottom - top + 1;
}

bool UiSetText(HWND dialog, int id, const std::wstring& text) {
  HWND control = GetDlgItem(dialog, id);
  LRESULT result = 0;
  return control != nullptr && Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result) &&
         result != 0;
}

bool UiToggle(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && Send(control, BM_CLICK, 0, 0, nullptr);
}

bool UiPress(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0);
}

bool UiPressKey(HWND dialog, UINT virtualKey) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  HWND target = dialog;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus != nullptr) {
    target = info.hwndFocus;
  }
  PostKey(target, virtualKey);
  return true;
}

bool UiCloseBox(HWND window) { return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool UiListItems(HWND list, std::vector<UiListItem>* items) {
  items->clear();
  LRESULT count = 0;
  if (list == nullptr || !Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) return false;
  const int kTextCapacity = 260;
  RemoteMemory remote(list, sizeof(LVITEMW) + kTextCapacity * sizeof(wchar_t));
  if (!remote.ok()) return false;
  wchar_t* remoteText = reinterpret_cast<wchar_t*>(remote.address + sizeof(LVITEMW));
  for (int index = 0; index < count; ++index) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.pszText = remoteText;
    item.cchTextMax = kTextCapacity;
    wchar_t text[kTextCapacity] = {0};
    if (!remote.Write(0, &item, sizeof(item)) || !remote.Write(sizeof(item), text, sizeof(text))) return false;
    LRESULT ok = 0;
    if (!Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address), &ok) || !ok) return false;
    if (!remote.Read(0, &item, sizeof(item))) return false;
    // The list copies the text into the buffer given, or answers with a
    // pointer to its own copy.
    SIZE_T done = 0;
    if (item.pszText == remoteText ? !remote.Read(sizeof(item), text, sizeof(text) - sizeof(wchar_t))
                                   : !ReadProcessMemory(remote.process, item.pszText, text,
                                                        sizeof(text) - sizeof(wchar_t), &done)) {
      return false;
    }
    UiListItem read;
    read.text = text;
    read.stateImage = static_cast<int>((item.state & LVIS_STATEIMAGEMASK) >> 12);
    read.value = item.lParam;
    items->push_back(read);
  }
  return true;
}

std::wstring UiListColumnText(HWND list, int column) {
  const int kTextCapacity = 260;
  RemoteMemory remote(list, sizeof(LVCOLUMNW) + kTextCapacity * sizeof(wchar_t));
  if (!remote.ok()) return std::wstring();
  LVCOLUMNW header = {};
  header.mask = LVCF_TEXT;
  header.pszText = reinterpret_cast<wchar_t*>(remote.address + sizeof(LVCOLUMNW));
  header.cchTextMax = kTextCapacity;
  wchar_t text[kTextCapacity] = {0};
  LRESULT ok = 0;
  if (!remote.Write(0, &header, sizeof(header)) || !remote.Write(sizeof(header), text, sizeof(text)) ||
      !Send(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(remote.address), &ok) || !ok ||
      !remote.Read(sizeof(header), text, sizeof(text) - sizeof(wchar_t))) {
    return std::wstring();
  }
  return text;
}

bool UiSetListItemCheck(HWND list, int index, bool checked) {
  RemoteMemory remote(list, sizeof(LVITEMW));
  LVITEMW item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  LRESULT ok = 0;
  return remote.ok() && remote.Write(0, &item, sizeof(item)) &&
         Send(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote.address), &ok) && ok;
}

HWND UiOpenContextMenu(HWND dialog, HWND target, DWORD timeoutMs) {
  RECT rect;
  if (!GetWindowRect(target, &rect)) return nullptr;
  POINT point = {rect.left + 20, rect.top + 30};
  // The dialog places the menu at the pointer, as it does for a right click.
  SetCursorPos(point.x, point.y);
  // Posted: the menu's own loop runs inside the handler until a choice is made.
  PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), MAKELPARAM(point.x, point.y));
  DWORD start = GetTickCount();
  DWORD processId = ProcessOf(dialog);
  do {
    std::vector<HWND> menus = UiTopWindows(processId, L"#32768");
    if (!menus.empty()) return menus.front();
    Sleep(kPollMs);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool UiChooseMenuItem(HWND menuWindow, int index, DWORD timeoutMs) {
  // Keys go to the thread's queue, where the menu's loop reads them.
  for (int i = 0; i <= index; ++i) PostKey(menuWindow, VK_DOWN);
  PostKey(menuWindow, VK_RETURN);
  return UiWaitGone(menuWindow, timeoutMs);
}

bool UiCancelMenu(HWND menuWindow, DWORD timeoutMs) {
  PostKey(menuWindow, VK_ESCAPE);
  return UiWaitGone(menuWindow, timeoutMs);
}

bool UiWaitGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(kPollMs);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

bool UiCaptureWindow(HWND window, const std::wstring& pngPath) {
  return UiCaptureWindows(std::vector<HWND>(1, window), pngPath);
}

bool UiCaptureWindows(const std::vector<HWND>& windows, const std::wstring& pngPath) {
  RECT area = {0, 0, 0, 0};
  for (HWND window : windows) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    UnionRect(&area, &area, &rect);
  }
  // Let each window finish painting what it was asked to show.
  for (HWND window : windows) Send(window, WM_NULL, 0, 0, nullptr);
  Sleep(150);
  int width = area.right - area.left;
  std::vector<uint8_t> rgb, menu;
  if (!GrabScreen(area, &rgb)) return false;
  for (HWND window : windows) {
    RECT rect;
    if (UiClassName(window) != L"#32768" || !GetWindowRect(window, &rect) || !GrabFromX(rect, &menu)) continue;
    size_t rowBytes = static_cast<size_t>(rect.right - rect.left) * 3;
    for (int y = rect.top; y < rect.bottom; ++y) {
      memcpy(&rgb[(static_cast<size_t>(y - area.top) * width + (rect.left - area.left)) * 3],
             &menu[static_cast<size_t>(y - rect.top) * rowBytes], rowBytes);
    }
  }
  std::vector<uint8_t> png = EncodePng(width, area.bottom - area.top, rgb);
  FILE* file = _wfopen(pngPath.c_str(), L"wb");
  if (file == nullptr) return false;
  bool ok = fwrite(png.data(), 1, png.size(), file) == png.size();
  return fclose(file) == 0 && ok;
}
