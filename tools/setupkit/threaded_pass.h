// The archive pass of `extract`: the installer's own decoder and entry parser,
// with the parser (and so every file it creates and writes) on a thread of its
// own, so that decoding the next megabyte overlaps writing the last one.
#pragma once

#include "archive/archive_pass.h"

// ArchivePassReport with the same handler calls, results and summary. The
// handler runs on the writing thread; the call returns when both are done.
// Beyond the decoder's memory it holds kPassQueueBytes of decoded stream.
int ThreadedArchivePass(const char16_t* executablePath, EntryHandler handler, void* handlerContext,
                        ArchivePassSummary* summary);

const uint32_t kPassQueueBytes = 2u << 20;
