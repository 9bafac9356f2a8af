#include "setupkit/packer.h"

#include <LzmaEnc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#endif

#include <algorithm>
#include <system_error>

#include "archive/payload_format.h"
#include "platform/platform.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/file_io.h"
#include "setupkit/interrupt_cleanup.h"
#include "setupkit/system_error.h"

namespace fs = std::filesystem;

namespace {

// Chosen by measurement on 25 MB of /usr/lib files against 7zz a -mx=9 with a 16 MiB
// dictionary, alternating on a loaded two-core machine (size ratio, CPU speed ratio):
// fb 128 mc 256: 0.99, 0.71; fb 64 mc 48: 1.00, 0.65-0.74; fb 40 mc 24: 1.003, 0.82;
// fb 32 mc 24: 1.009, 0.69-0.95; fb 64 mc 8: 1.016 (too big); hash chains: 1.01-1.02 and
// slower; fb 40 stays clear of 7-Zip's size + 1 %. About three quarters of the time goes
// to the binary-tree match finder (perf, cpu-clock). A match finder one thread ahead of
// the encoder was tried: it has to search at every position, the skipped ones too, and
// alone took 10.5 CPU seconds where the whole one-thread encode of 22 MB took 11.3, so
// it gained under a tenth in wall time and cost a fifth more CPU.
const int kEncoderLevel = 9;
const int kEncoderFastBytes = 40;
const uint32_t kEncoderMatchCycles = 24;

const size_t kIoBufferSize = 1u << 20;
// Progress is reported at most this often, in bytes of the entry stream.
const uint64_t kProgressStep = 1u << 18;

void* EncoderAlloc(void*, size_t size) { return size == 0 ? nullptr : malloc(size); }
void EncoderFree(void*, void* block) { free(block); }

// A product file open for reading, from its source or from memory; closed at
// the end of the scope.
struct SourceFile {
  PlatformFile file = PLATFORM_INVALID_FILE;
  const ProductFile* product = nullptr;
  size_t position = 0;  // in product->bytes
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile() { Close(); }
  Problem Open(const ProductFile& from) {
    Close();
    product = &from;
    position = 0;
    if (from.source.empty()) return NoProblem();
    file = PlatformCreateFile(from.source.u16string().c_str(), false);
    return file == PLATFORM_INVALID_FILE ? CannotRead(from.source) : NoProblem();
  }
  void Close() {
    if (file != PLATFORM_INVALID_FILE) PlatformCloseHandle(file);
    file = PLATFORM_INVALID_FILE;
  }
};

// Reads up to `size` bytes, fewer only at the end of the file.
Problem ReadSome(SourceFile* source, uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  if (source->product->source.empty()) {
    const std::vector<uint8_t>& bytes = source->product->bytes;
    *got = std::min(size, bytes.size() - source->position);
    memcpy(buffer, bytes.data() + source->position, *got);
    source->position += *got;
    return NoProblem();
  }
  while (*got < size) {
    uint32_t piece = 0;
    if (!PlatformReadFile(source->file, buffer + *got, static_cast<uint32_t>(size - *got), &piece)) {
      return Failure(ShowPath(source->product->source) + ": read failed (" +
                     SystemErrorText(PlatformGetLastError()) + ")");
    }
    if (piece == 0) break;
    *got += piece;
  }
  return NoProblem();
}

Problem ChangedWhilePacking(const fs::path& path) { return Failure(ShowPath(path) + ": changed while being packed"); }

// Pass one: the checksum over every file's data, each file's size confirmed.
Problem ComputeChecksum(const std::vector<ProductFile>& files, const PackProgress& progress, uint32_t* checksum) {
  std::vector<uint8_t> buffer(kIoBufferSize);
  uint64_t all = 0, done = 0;
  for (const ProductFile& f : files) all += f.size;
  *checksum = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    SourceFile source;
    Problem problem = source.Open(files[i]);
    uint64_t total = 0;
    for (size_t got = 1; problem.code == kExitSuccess && got != 0;) {
      problem = ReadSome(&source, buffer.data(), buffer.size(), &got);
      *checksum = EntryStreamChecksumAdd(*checksum, files[i].name, static_cast<uint32_t>(i + 1), buffer.data(), got);
      total += got;
      done += got;
      if (progress) progress(kPackReading, done, all);
    }
    if (problem.code != kExitSuccess) return problem;
    if (total != files[i].size) return ChangedWhilePacking(files[i].source);
  }
  return NoProblem();
}

// Pass two: the entry stream, produced piece by piece for the encoder. The SDK
// hands back the address of `base`, which therefore comes first.
struct EntryStreamSource {
  ISeqInStream base;
  const std::vector<ProductFile>* files;
  std::vector<uint8_t> pending;  // stream or entry header not yet handed out
  size_t pendingPosition;
  size_t next;     // index of the next file to open
  size_t current;  // index of the file being read
  SourceFile source;
  uint64_t remaining;  // data bytes of the current file still to come
  uint32_t checksum;   // recomputed over what was actually read
  Problem problem;
};

// Hands out the current file's data, stored as the format wants it.
SRes EntryStreamData(EntryStreamSource* s, uint8_t* out, size_t want, size_t* got) {
  const ProductFile& file = (*s->files)[s->current];
  s->problem = ReadSome(&s->source, out, want, got);
  if (s->problem.code == kExitSuccess && *got < want) s->problem = ChangedWhilePacking(file.source);
  if (s->problem.code != kExitSuccess) return SZ_ERROR_READ;
  s->checksum = EntryStreamChecksumAdd(s->checksum, file.name, static_cast<uint32_t>(s->current + 1), out, *got);
  StoreEntryData(out, *got);
  s->remaining -= *got;
  return SZ_OK;
}

SRes EntryStreamRead(void* p, void* buffer, size_t* size) {
  EntryStreamSource* s = static_cast<EntryStreamSource*>(p);
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t filled = 0;
  while (filled < *size) {
    if (s->pendingPosition < s->pending.size()) {
      size_t n = std::min(*size - filled, s->pending.size() - s->pendingPosition);
      memcpy(out + filled, s->pending.data() + s->pendingPosition, n);
      s->pendingPosition += n;
      filled += n;
    } else if (s->remaining > 0) {
      size_t got = 0;
      if (EntryStreamData(s, out + filled, static_cast<size_t>(std::min<uint64_t>(*size - filled, s->remaining)),
                          &got) != SZ_OK) {
        return SZ_ERROR_READ;
      }
      filled += got;
    } else if (s->next < s->files->size()) {
      s->current = s->next++;
      const ProductFile& file = (*s->files)[s->current];
      s->problem = s->source.Open(file);
      if (s->problem.code != kExitSuccess) return SZ_ERROR_READ;
      s->pending.clear();
      s->pendingPosition = 0;
      AppendEntryHeader(&s->pending, file.name, static_cast<uint32_t>(file.size));
      s->remaining = file.size;
    } else {
      s->source.Close();
      break;
    }
  }
  *size = filled;
  return SZ_OK;
}

// The installer file being written, through a buffer; the first failure sticks.
struct InstallerSink {
  ISeqOutStream base;
  PlatformFile file;
  std::vector<uint8_t> buffer;
  uint64_t written;  // bytes handed over, buffered ones included
  uint32_t error;    // Win32 error of the first failed write, 0 if none
};

void SinkFlush(InstallerSink* sink) {
  if (sink->error == 0 && !sink->buffer.empty()) {
    uint32_t put = 0;
    if (!PlatformWriteFile(sink->file, sink->buffer.data(), static_cast<uint32_t>(sink->buffer.size()), &put) ||
        put != sink->buffer.size()) {
      sink->error = PlatformGetLastError() != 0 ? PlatformGetLastError() : kErrorDiskFull;
    }
  }
  sink->buffer.clear();
}

void SinkPut(InstallerSink* sink, const void* bytes, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  sink->buffer.insert(sink->buffer.end(), p, p + size);
  sink->written += size;
  if (sink->buffer.size() >= kIoBufferSize) SinkFlush(sink);
}

void SinkZeros(InstallerSink* sink, uint64_t upTo) {
  if (sink->written < upTo) {
    std::vector<uint8_t> zeros(upTo - sink->written, 0);
    SinkPut(sink, zeros.data(), zeros.size());
  }
}

size_t SinkWrite(void* p, const void* bytes, size_t size) {
  InstallerSink* sink = static_cast<InstallerSink*>(p);
  SinkPut(sink, bytes, size);
  return sink->error == 0 ? size : 0;
}

struct ProgressAdapter {
  ICompressProgress base;
  const PackProgress* progress;
  uint64_t total;
  uint64_t reported;
};

SRes ProgressUpdate(void* p, UInt64 inSize, UInt64) {
  ProgressAdapter* adapter = static_cast<ProgressAdapter*>(p);
  if (*adapter->progress && inSize >= adapter->reported + kProgressStep) {
    adapter->reported = inSize;
    (*adapter->progress)(kPackCompressing, inSize, adapter->total);
  }
  return SZ_OK;
}

Problem WriteFailed(const fs::path& path, uint32_t error) {
  return Failure(ShowPath(path) + ": cannot be written (" + SystemErrorText(error) + ")");
}

// Creates the temporary file under a name nothing holds yet: not a file, not a
// folder and not a link, which would otherwise lead the installer elsewhere.
Problem CreateTemporary(const fs::path& output, fs::path* temporary, PlatformFile* file) {
  Problem problem = NoProblem();
  const FreshName made = MakeFreshName([&](const std::string& random) {
    fs::path name = output.filename();
    name += "." + random + ".tmp";
    *temporary = output.parent_path() / name;
#ifdef _WIN32
    HANDLE handle = CreateFileW(temporary->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    *file = handle;
    const DWORD error = handle != INVALID_HANDLE_VALUE ? 0 : GetLastError();
    if (error != 0 && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) problem = WriteFailed(output, error);
    return error == 0 ? kNameMade : problem.code != kExitSuccess ? kNameFailed : kNameTaken;
#else
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    *file = reinterpret_cast<PlatformFile>(static_cast<intptr_t>(fd));
    const int error = fd >= 0 ? 0 : errno;
    if (error != 0 && error != EEXIST) {
      problem = Failure(ShowPath(output) + ": cannot be written (" + std::generic_category().message(error) + ")");
    }
    return error == 0 ? kNameMade : problem.code != kExitSuccess ? kNameFailed : kNameTaken;
#endif
  });
  if (made == kNameTaken) {
    return Failure(ShowPath(output) + ": cannot be written (no free name for a temporary file beside it)");
  }
  return problem;
}

// The encoder with the settings above, and its properties byte; the SDK's result.
SRes CreateEncoder(ISzAlloc* alloc, uint32_t dictionarySize, uint64_t unpacked, CLzmaEncHandle* encoder,
                   uint8_t* properties) {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = kEncoderLevel;
  props.dictSize = dictionarySize;
  // A dictionary larger than the data gains nothing; the header still announces the requested size.
  props.reduceSize = static_cast<UInt32>(unpacked);
  props.lc = 3;
  props.lp = 0;
  props.pb = 2;
  props.algo = 1;
  props.btMode = 1;
  props.numHashBytes = 4;
  props.fb = kEncoderFastBytes;
  props.mc = kEncoderMatchCycles;
  props.writeEndMark = 0;  // the header's unpacked size ends the stream
  props.numThreads = 1;
  *encoder = LzmaEnc_Create(alloc);
  if (*encoder == nullptr) return SZ_ERROR_MEM;
  SizeT propertiesSize = kContainerPropertiesSize;
  SRes result = LzmaEnc_SetProps(*encoder, &props);
  if (result == SZ_OK) result = LzmaEnc_WriteProperties(*encoder, properties, &propertiesSize);
  if (result != SZ_OK) LzmaEnc_Destroy(*encoder, alloc, alloc);
  return result;
}

uint64_t UnpackedSize(const PackJob& job, const EntryStreamTexts& texts) {
  uint64_t unpacked = StreamHeaderSize(texts);
  for (const ProductFile& f : job.files) unpacked += EntryHeaderSize(f.name) + f.size;
  return unpacked;
}

// The LZMA stream behind the stub and the container header; the problem names
// what failed first: a product file, the output, the encoder.
Problem Encode(const PackJob& job, uint32_t expectedChecksum, InstallerSink* sink, ProgressAdapter* adapter,
               const EntryStreamTexts& texts) {
  EntryStreamSource source = {};
  source.base.Read = EntryStreamRead;
  source.files = &job.files;
  source.problem = NoProblem();
  AppendStreamHeader(&source.pending, texts, job.archiveDate, expectedChecksum);
  ISzAlloc alloc = {EncoderAlloc, EncoderFree};
  uint8_t properties[kContainerPropertiesSize];
  CLzmaEncHandle encoder = nullptr;
  SRes result = CreateEncoder(&alloc, job.dictionarySize, adapter->total, &encoder, properties);
  if (result == SZ_ERROR_MEM) return Failure(ShowPath(job.output) + ": not enough memory for the LZMA encoder");
  if (result != SZ_OK) return Failure(ShowPath(job.output) + ": the LZMA encoder refused its settings");
  uint8_t header[kPayloadMagicSize + kContainerHeaderSize];
  WriteContainerHeader(properties[0], PackHeaderDictionarySize(job.dictionarySize),
                       static_cast<uint32_t>(adapter->total), header);
  SinkPut(sink, job.stub.data(), job.stub.size());
  SinkZeros(sink, kPayloadSearchStart);
  SinkPut(sink, header, sizeof(header));
  result = LzmaEnc_Encode(encoder, &sink->base, &source.base, &adapter->base, &alloc, &alloc);
  LzmaEnc_Destroy(encoder, &alloc, &alloc);
  if (source.problem.code != kExitSuccess) return source.problem;
  if (sink->error != 0) return WriteFailed(job.output, sink->error);
  if (result == SZ_ERROR_MEM) return Failure(ShowPath(job.output) + ": not enough memory for the LZMA encoder");
  if (result != SZ_OK) {
    return Failure(ShowPath(job.output) + ": the LZMA encoder failed (SDK result " + std::to_string(result) + ")");
  }
  // A file rewritten between the passes would leave a checksum that fails every install.
  if (source.checksum != expectedChecksum) {
    return Failure(ShowPath(job.output) + ": a product file changed while being packed");
  }
  return NoProblem();
}

// Writes the whole installer to `file`.
Problem WriteInstaller(const PackJob& job, uint32_t expectedChecksum, PlatformFile file, const PackProgress& progress,
                       PackReport* report) {
  const EntryStreamTexts texts = {job.productCode, job.productWindowClass, job.mainProgramName};
  const uint64_t unpacked = UnpackedSize(job, texts);
  InstallerSink sink = {{SinkWrite}, file, {}, 0, 0};
  ProgressAdapter adapter = {{ProgressUpdate}, &progress, unpacked, 0};
  const uint64_t magicOffset = std::max<uint64_t>(job.stub.size(), kPayloadSearchStart);
  const uint64_t streamStart = magicOffset + kPayloadMagicSize + kContainerHeaderSize;
  const Problem problem = Encode(job, expectedChecksum, &sink, &adapter, texts);
  if (problem.code != kExitSuccess) return problem;
  const uint64_t streamSize = sink.written - streamStart;
  SinkZeros(&sink, PackFindableSize(magicOffset));
  SinkFlush(&sink);
  if (sink.error != 0) return WriteFailed(job.output, sink.error);
  if (sink.written > 0xFFFFFFFFu) {
    return Failure(ShowPath(job.output) + ": the installer would be " + std::to_string(sink.written) +
                   " bytes; the installer reads at most 4294967295");
  }
  *report = PackReport{static_cast<uint32_t>(job.files.size()), 0, unpacked, streamSize, sink.written,
                       PackHeaderDictionarySize(job.dictionarySize)};
  for (const ProductFile& f : job.files) report->bytesIn += f.size;
  if (progress) progress(kPackCompressing, unpacked, unpacked);
  return NoProblem();
}

}  // namespace

uint64_t PackFindableSize(uint64_t magicOffset) {
  // A read looks at the windows that start up to 4 bytes before its end; the
  // window ending on its last byte is looked at with the next read.
  const uint64_t behindMagic = magicOffset + kPayloadMagicSize;
  const uint64_t piece = (behindMagic - kPayloadSearchStart) / kPayloadReadSize;
  return kPayloadSearchStart + (piece + 1) * kPayloadReadSize;
}

uint32_t PackHeaderDictionarySize(uint32_t requested) {
  for (int i = 11; i <= 30; ++i) {
    if (requested <= (2u << i)) return 2u << i;
    if (requested <= (3u << i)) return 3u << i;
  }
  return requested;
}

Problem PackInstaller(const PackJob& job, const PackProgress& progress, PackReport* report) {
  uint32_t checksum = 0;
  Problem problem = ComputeChecksum(job.files, progress, &checksum);
  if (problem.code != kExitSuccess) return problem;
  fs::path temporary;
  PlatformFile file = PLATFORM_INVALID_FILE;
  problem = CreateTemporary(job.output, &temporary, &file);
  if (problem.code != kExitSuccess) return problem;
  RemoveOnInterrupt(temporary);
  problem = WriteInstaller(job, checksum, file, progress, report);
  if (!PlatformCloseHandle(file) && problem.code == kExitSuccess) {
    problem = WriteFailed(job.output, PlatformGetLastError());
  }
  std::error_code error;
  if (problem.code == kExitSuccess) {
    fs::rename(temporary, job.output, error);
    if (error) problem = Failure(ShowPath(job.output) + ": cannot be written (" + error.message() + ")");
  }
  if (problem.code != kExitSuccess) fs::remove(temporary, error);
  RemoveOnInterrupt(fs::path());
  return problem;
}
