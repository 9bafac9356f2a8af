#include "setupkit/ansi_text.h"

#include <stdint.h>
#include <stdio.h>

#include "platform/cp1252.h"

namespace {

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

bool DecodeUtf8(const std::string& text, size_t* i, uint32_t* c) {
  const uint8_t b0 = static_cast<uint8_t>(text[*i]);
  int extra;
  uint32_t value, minimum;
  if (b0 < 0x80) {
    *c = b0;
    ++*i;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1, value = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, value = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, value = b0 & 0x07, minimum = 0x10000;
  } else {
    ++*i;
    return false;
  }
  if (*i + extra >= text.size()) {
    ++*i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    const uint8_t b = static_cast<uint8_t>(text[*i + k]);
    if ((b & 0xC0) != 0x80) {
      ++*i;
      return false;
    }
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++*i;
    return false;
  }
  *i += static_cast<size_t>(extra) + 1;
  *c = value;
  return true;
}

namespace ansi {

std::string FromUtf8(const std::string& utf8, std::string* out) {
  out->clear();
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t c;
    if (!DecodeUtf8(utf8, &i, &c)) return "is not valid UTF-8";
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out->push_back(static_cast<char>(c));
      continue;
    }
    int byte = -1;
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == c) byte = 0x80 + k;
    }
    if (byte < 0) {
      char code[16];
      snprintf(code, sizeof(code), "U+%04X", static_cast<unsigned>(c));
      std::string shown;
      AppendUtf8(c, &shown);
      return std::string("contains ") + code + " (" + shown + "), which Windows-1252 cannot hold";
    }
    out->push_back(static_cast<char>(byte));
  }
  return std::string();
}

std::string ToUtf8(const std::string& text) {
  std::string out;
  for (char ch : text) {
    const uint8_t b = static_cast<uint8_t>(ch);
    AppendUtf8(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b, &out);
  }
  return out;
}

}  // namespace ansi

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    uint32_t c;
    if (!DecodeUtf8(text, &i, &c)) c = 0xFFFD;
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}
