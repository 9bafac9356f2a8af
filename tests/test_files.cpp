#include "test_files.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

std::string TestTempDir() {
  // One root per test program run, removed with everything below it at exit.
  static const struct Root {
    fs::path path = fs::temp_directory_path() / ("setupkit-test-" + std::to_string(std::random_device()()));
    ~Root() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } root;
  static int counter = 0;
  fs::path dir = root.path / std::to_string(++counter);
  fs::create_directories(dir);
  return dir.string();
}

std::u16string TestWidePath(const std::string& path) { return fs::path(path).u16string(); }

void TestWriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> TestReadFile(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint64_t TestFileWriteTime(const std::string& path) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(fs::path(path).wstring().c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_mtim.tv_sec + 11644473600LL) * 10000000 + st.st_mtim.tv_nsec / 100;
#endif
}

std::vector<uint8_t> TestBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> TestUtf16File(const std::u16string& text) {
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t u : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
  return bytes;
}
