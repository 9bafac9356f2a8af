#include "setupkit/stored_text.h"

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "archive/entry_format.h"
#include "setupkit/ansi_text.h"
#include "text/file_name_rules.h"

namespace stored {

namespace {

std::string CharacterName(uint8_t ansiByte) {
  char code[16];
  std::u16string wide = Utf8ToUtf16(ansi::ToUtf8(std::string(1, static_cast<char>(ansiByte))));
  snprintf(code, sizeof(code), "U+%04X", static_cast<unsigned>(wide.empty() ? 0 : wide[0]));
  return code;
}

bool IsControl(uint8_t b) {
  return b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Converts and applies what every stored text shares: the code page, the one
// unstorable byte, no control characters, the length limits.
std::string CheckText(const std::string& utf8, size_t minBytes, size_t maxBytes, std::string* ansi) {
  std::string problem = ansi::FromUtf8(utf8, ansi);
  if (!problem.empty()) return problem;
  if (ansi->empty() && minBytes > 0) return "is empty";
  for (char ch : *ansi) {
    const uint8_t b = static_cast<uint8_t>(ch);
    if (b == kUnstorableTextByte) {
      return "contains " + CharacterName(b) + ", the one character a stored text cannot hold";
    }
    if (IsControl(b)) return "contains the control character " + CharacterName(b);
  }
  if (ansi->size() > maxBytes) {
    return "is " + std::to_string(ansi->size()) + " bytes long in Windows-1252; at most " + std::to_string(maxBytes) +
           " fit";
  }
  return std::string();
}

bool IsReservedDeviceName(const std::string& component) {
  // Windows-1252 holds the superscript digits where UTF-16 does (B9, B2, B3), as it does ASCII.
  std::u16string wide;
  for (char ch : component) wide += static_cast<char16_t>(static_cast<unsigned char>(ch));
  return IsDeviceName(wide.c_str(), static_cast<int>(wide.size()));
}

// One component of a file name, as CreateFileW would create it unchanged.
std::string CheckComponent(const std::string& component) {
  if (component.empty()) return "has an empty folder component";
  if (component == "." || component == "..") return "has the component \"" + component + "\"";
  for (char ch : component) {
    if (std::string("<>:\"|?*").find(ch) != std::string::npos) {
      return std::string("contains '") + ch + "', which Windows file names cannot hold";
    }
  }
  const char last = component.back();
  if (last == ' ' || last == '.') {
    return "has the component \"" + ansi::ToUtf8(component) + "\" ending in a " + (last == ' ' ? "space" : "dot") +
           ", which Windows drops";
  }
  if (IsReservedDeviceName(component)) {
    return "uses the device name \"" + ansi::ToUtf8(component) + "\", which Windows reserves";
  }
  return std::string();
}

}  // namespace

std::string CheckIdentity(Identity which, const std::string& utf8, std::string* ansi) {
  switch (which) {
    case Identity::kProductCode:
      return CheckText(utf8, 1, kProductCodeMax, ansi);
    case Identity::kWindowClass:
      return CheckText(utf8, 0, kProductWindowClassMax, ansi);
    case Identity::kMainProgram: {
      std::string problem = CheckText(utf8, 0, kMainProgramNameMax, ansi);
      if (!problem.empty() || ansi->empty()) return problem;
      if (ansi->find_first_of("\\/") != std::string::npos) return "must be a file name without folders";
      return CheckComponent(*ansi);
    }
  }
  return std::string();
}

std::string CheckEntryName(const std::string& utf8, std::string* ansi) {
  std::string problem = CheckText(utf8, 1, kEntryNameMax, ansi);
  if (!problem.empty()) return problem;
  for (char& ch : *ansi) {
    if (ch == '/') ch = '\\';
  }
  if ((*ansi)[0] == '\\') return "starts with a separator; entry names are relative paths";
  size_t start = 0;
  for (;;) {
    size_t end = ansi->find('\\', start);
    problem = CheckComponent(ansi->substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!problem.empty()) return problem;
    if (end == std::string::npos) return std::string();
    start = end + 1;
  }
}

std::string FoldKey(const std::string& ansi) {
  std::string key = ansi;
  for (char& ch : key) {
    uint8_t b = static_cast<uint8_t>(ch);
    if (b >= 'a' && b <= 'z') {
      b = static_cast<uint8_t>(b - 0x20);
    } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      b = static_cast<uint8_t>(b - 0x20);
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {
      b = static_cast<uint8_t>(b - 0x10);
    } else if (b == 0xFF) {
      b = 0x9F;
    }
    ch = static_cast<char>(b);
  }
  return key;
}

std::string LastComponent(const std::string& ansi) {
  size_t slash = ansi.find_last_of("\\/");
  return slash == std::string::npos ? ansi : ansi.substr(slash + 1);
}

bool IsWindowsDeviceName(const std::u16string& component) {
  std::string name;
  return ansi::FromUtf8(Utf16ToUtf8(component), &name).empty() && IsReservedDeviceName(name);
}

const char* ExtractRefusal(const std::u16string& name) {
  if (name.empty()) return "is empty";
  if (name[0] == u'\\' || name[0] == u'/') return "is an absolute path";
  if (name.find(u':') != std::u16string::npos) return "names a drive or a stream (':')";
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of(u"\\/", start);
    std::u16string component = name.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    // Windows drops trailing dots and spaces, so ".. " and "..." may read as "..".
    size_t dots = 0;
    for (char16_t c : component) dots += c == u'.' ? 1 : 0;
    if (dots >= 2 && component.find_first_not_of(u". ") == std::u16string::npos) {
      return "would leave the folder (\"..\")";
    }
    if (IsWindowsDeviceName(component)) return "uses a Windows device name (CON, NUL, COM1, ...)";
    if (end == std::u16string::npos) return nullptr;
    start = end + 1;
  }
}

}  // namespace stored
