// Words for the Win32 error numbers that the platform layer reports: on Windows
// the Win32 words and number, elsewhere the system's own text for the errno the
// number came from.
#pragma once

#include <stdint.h>

#include <string>

// "access denied (error 5)" on Windows, "Permission denied" on Linux; unknown
// numbers read "system error 1234".
std::string SystemErrorText(uint32_t error);
