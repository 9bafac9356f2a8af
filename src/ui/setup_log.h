// The installer's log (/LOG=): plain UTF-8 text, one "label: text" line per
// event, for deployment tools that never see a window. The open file lives in
// the InstallerContext; without a context or an open log every call does nothing.
#pragma once

#include <stdint.h>

// Creates (or empties) the log file at path and keeps it in the context.
// Returns 0, or the Win32 error (5 standing in for none) when it cannot be opened.
uint32_t OpenSetupLog(const char16_t* path);

// Writes "label: text" and a line break; text may be null. A line that cannot be
// written marks the log failed (SetupLogFailed) and the log writes no more.
void SetupLog(const char16_t* label, const char16_t* text);

// SetupLog with " (<size> bytes)" behind text.
void SetupLogSize(const char16_t* label, const char16_t* text, uint64_t size);

// SetupLog with the decimal number as the text.
void SetupLogNumber(const char16_t* label, uint64_t number);

// True once a line could not be written.
bool SetupLogFailed();

// Closes the log; a failed close marks it failed.
void CloseSetupLog();
