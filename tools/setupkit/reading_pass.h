// One archive pass of the installer's own code over an installer, with a
// handler of the tool's, and what its result means for the tool.
#pragma once

#include <filesystem>
#include <string>

#include "archive/archive_pass.h"
#include "setupkit/exit_codes.h"

// Runs the pass. No exception may cross the pass's code (C, built without
// exceptions for the stub): a std::bad_alloc in the handler ends the entry and
// is thrown again once the pass is over, the tool's one out-of-memory path.
// Returns the pass's result: 0, negative for a broken payload, positive for a
// system error.
int GuardedPass(const std::filesystem::path& installer, EntryHandler handler, void* context,
                ArchivePassSummary* summary);

// The words for a negative result: no payload, LZMA data error, checksum
// mismatch, ...
std::string BrokenPayloadText(int result, const ArchivePassSummary& summary);

// The problem of a pass that read the installer and wrote nothing: none for 0,
// kExitBrokenPayload for a negative result, kExitFailure for a positive one.
Problem ReadingPassProblem(const std::filesystem::path& installer, int result, const ArchivePassSummary& summary);

// The archive date as YYYY-MM-DD; empty when it is no date.
std::string DateText(uint32_t archiveDate);
