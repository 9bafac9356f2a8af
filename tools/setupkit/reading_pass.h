// One archive pass of the installer's own code over an installer, with a
// handler of the tool's, and what its result means for the tool.
#pragma once

#include <filesystem>
#include <string>

#include "archive/archive_pass.h"
#include "setupkit/exit_codes.h"

// The memory limit of list, verify, extract and plan (--memlimit) when none is
// given: pack's largest dictionary (64 MiB) with room for the probability table
// of any properties, so every installer pack makes is admitted.
const uint64_t kDefaultMemoryLimit = 80u << 20;

// Runs the pass on one open handle of the installer. First the payload's
// header says what the decoder would take (DecoderMemory, what drives the
// tool's memory): above `memoryLimit` nothing is decoded, *result becomes
// -kDecodeErrorMem and the problem (kExitFailure: the installer is not broken,
// this run refuses it) names the need and the limit. Otherwise *result is the
// pass's result (0, negative for a broken payload, positive for a system error)
// and the problem is ReadingPassProblem's. No exception may cross the pass's
// code (C, built without exceptions for the stub): a std::bad_alloc in the
// handler ends the entry and is thrown again once the pass is over, the tool's
// one out-of-memory path. `result` may be null.
Problem ReadingPass(const std::filesystem::path& installer, uint64_t memoryLimit, EntryHandler handler, void* context,
                    ArchivePassSummary* summary, int* result = nullptr);

// The words for a negative result: no payload, LZMA data error, checksum
// mismatch, ...
std::string BrokenPayloadText(int result, const ArchivePassSummary& summary);

// The problem of a pass that read the installer and wrote nothing: none for 0,
// kExitBrokenPayload for a negative result, kExitFailure for a positive one.
Problem ReadingPassProblem(const std::filesystem::path& installer, int result, const ArchivePassSummary& summary);

// The archive date as YYYY-MM-DD; empty when it is no date.
std::string DateText(uint32_t archiveDate);
