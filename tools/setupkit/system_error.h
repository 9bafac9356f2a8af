// Words for the Win32 error numbers that the platform layer reports, the same
// on Windows and off it.
#pragma once

#include <stdint.h>

#include <string>

// "access denied (error 5)"; unknown numbers read "system error 1234".
std::string SystemErrorText(uint32_t error);
