#include "setupkit/system_error.h"

namespace {

struct ErrorWords {
  uint32_t error;
  const char* words;
};

// The numbers the POSIX backend maps errno onto, and the usual Win32 ones beside them.
const ErrorWords kErrorWords[] = {
    {2, "file not found"},
    {3, "path not found"},
    {5, "access denied"},
    {8, "not enough memory"},
    {32, "file in use"},
    {39, "disk full"},
    {80, "file exists"},
    {87, "invalid parameter"},
    {112, "disk full"},
    {123, "invalid file name"},
    {183, "file or folder exists"},
    {206, "file name too long"},
    {1117, "I/O device error"},
};

}  // namespace

std::string SystemErrorText(uint32_t error) {
  for (const ErrorWords& e : kErrorWords) {
    if (e.error == error) return std::string(e.words) + " (error " + std::to_string(error) + ")";
  }
  return "system error " + std::to_string(error);
}
