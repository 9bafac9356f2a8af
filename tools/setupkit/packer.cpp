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
#include <random>
#include <system_error>

#include "archive/payload_format.h"
#include "platform/platform.h"
#include "setupkit/entry_stream_writer.h"
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

// A source file open for reading, closed at the end of the scope.
struct SourceFile {
  PlatformFile file = PLATFORM_INVALID_FILE;
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile() { Close(); }
  std::string Open(const fs::path& path) {
    Close();
    file = PlatformCreateFile(path.u16string().c_str(), false);
    return file == PLATFORM_INVALID_FILE
               ? ShowPath(path) + ": cannot be read (" + SystemErrorText(PlatformGetLastError()) + ")"
               : std::string();
  }
  void Close() {
    if (file != PLATFORM_INVALID_FILE) PlatformCloseHandle(file);
    file = PLATFORM_INVALID_FILE;
  }
};

// Reads up to `size` bytes, fewer only at the end of the file. Returns an empty
// string or the problem.
std::string ReadSome(SourceFile* source, const fs::path& path, uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  while (*got < size) {
    uint32_t piece = 0;
    if (!PlatformReadFile(source->file, buffer + *got, static_cast<uint32_t>(size - *got), &piece)) {
      return ShowPath(path) + ": read failed (" + SystemErrorText(PlatformGetLastError()) + ")";
    }
    if (piece == 0) break;
    *got += piece;
  }
  return std::string();
}

std::string ChangedWhilePacking(const fs::path& path) { return ShowPath(path) + ": changed while being packed"; }

// Pass one: the checksum over every file's data, each file's size confirmed.
std::string ComputeChecksum(const std::vector<ProductFile>& files, const PackProgress& progress, uint32_t* checksum) {
  std::vector<uint8_t> buffer(kIoBufferSize);
  uint64_t all = 0, done = 0;
  for (const ProductFile& f : files) all += f.size;
  *checksum = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    SourceFile source;
    std::string problem = source.Open(files[i].source);
    uint64_t total = 0;
    for (size_t got = 1; problem.empty() && got != 0;) {
      problem = ReadSome(&source, files[i].source, buffer.data(), buffer.size(), &got);
      *checksum = EntryStreamChecksumAdd(*checksum, files[i].name, static_cast<uint32_t>(i + 1), buffer.data(), got);
      total += got;
      done += got;
      if (progress) progress(kPackReading, done, all);
    }
    if (!problem.empty()) return problem;
    if (total != files[i].size) return ChangedWhilePacking(files[i].source);
  }
  return std::string();
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
  std::string problem;
};

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
      const ProductFile& file = (*s->files)[s->current];
      size_t want = static_cast<size_t>(std::min<uint64_t>(*size - filled, s->remaining));
      size_t got = 0;
      s->problem = ReadSome(&s->source, file.source, out + filled, want, &got);
      if (s->problem.empty() && got < want) s->problem = ChangedWhilePacking(file.source);
      if (!s->problem.empty()) return SZ_ERROR_READ;
      s->checksum =
          EntryStreamChecksumAdd(s->checksum, file.name, static_cast<uint32_t>(s->current + 1), out + filled, got);
      StoreEntryData(out + filled, got);
      filled += got;
      s->remaining -= got;
    } else if (s->next < s->files->size()) {
      s->source.Close();
      s->current = s->next++;
      const ProductFile& file = (*s->files)[s->current];
      s->problem = s->source.Open(file.source);
      if (!s->problem.empty()) return SZ_ERROR_READ;
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

fs::path TemporaryPath(const fs::path& output) {
  std::random_device random;
  char suffix[24];
  snprintf(suffix, sizeof(suffix), ".%08x.tmp", static_cast<unsigned>(random()));
  fs::path name = output.filename();
  name += suffix;
  return output.parent_path() / name;
}

std::string WriteFailed(const fs::path& path, uint32_t error) {
  return ShowPath(path) + ": cannot be written (" + SystemErrorText(error) + ")";
}

// Creates the temporary file under a name nothing holds yet: not a file, not a
// folder and not a link, which would otherwise lead the installer elsewhere.
std::string CreateTemporary(const fs::path& output, fs::path* temporary, PlatformFile* file) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    *temporary = TemporaryPath(output);
#ifdef _WIN32
    HANDLE handle = CreateFileW(temporary->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    *file = handle;
    if (handle != INVALID_HANDLE_VALUE) return std::string();
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return WriteFailed(output, error);
#else
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    *file = reinterpret_cast<PlatformFile>(static_cast<intptr_t>(fd));
    if (fd >= 0) return std::string();
    if (errno != EEXIST) {
      return ShowPath(output) + ": cannot be written (" + std::generic_category().message(errno) + ")";
    }
#endif
  }
  return ShowPath(output) + ": cannot be written (no free name for a temporary file beside it)";
}

// Writes the whole installer to `file`. Returns an empty string or the problem.
std::string WriteInstaller(const PackJob& job, uint32_t expectedChecksum, PlatformFile file,
                           const PackProgress& progress, PackReport* report) {
  EntryStreamSource source;
  source.base.Read = EntryStreamRead;
  source.files = &job.files;
  EntryStreamTexts texts = {job.productCode, job.productWindowClass, job.mainProgramName};
  AppendStreamHeader(&source.pending, texts, job.archiveDate, expectedChecksum);
  source.pendingPosition = 0;
  source.next = 0;
  source.current = 0;
  source.remaining = 0;
  source.checksum = 0;
  uint64_t unpacked = StreamHeaderSize(texts);
  for (const ProductFile& f : job.files) unpacked += EntryHeaderSize(f.name) + f.size;

  ISzAlloc alloc = {EncoderAlloc, EncoderFree};
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = kEncoderLevel;
  props.dictSize = job.dictionarySize;
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
  CLzmaEncHandle encoder = LzmaEnc_Create(&alloc);
  if (encoder == nullptr) return ShowPath(job.output) + ": not enough memory for the LZMA encoder";
  uint8_t properties[kContainerPropertiesSize];
  SizeT propertiesSize = kContainerPropertiesSize;
  SRes result = LzmaEnc_SetProps(encoder, &props);
  if (result == SZ_OK) result = LzmaEnc_WriteProperties(encoder, properties, &propertiesSize);
  if (result != SZ_OK) {
    LzmaEnc_Destroy(encoder, &alloc, &alloc);
    return ShowPath(job.output) + ": the LZMA encoder refused its settings";
  }
  const uint32_t dictionary = PackHeaderDictionarySize(job.dictionarySize);
  uint8_t header[kPayloadMagicSize + kContainerHeaderSize];
  WriteContainerHeader(properties[0], dictionary, static_cast<uint32_t>(unpacked), header);

  InstallerSink sink;
  sink.base.Write = SinkWrite;
  sink.file = file;
  sink.written = 0;
  sink.error = 0;
  SinkPut(&sink, job.stub.data(), job.stub.size());
  if (job.stub.size() < kPayloadSearchStart) {
    std::vector<uint8_t> zeros(kPayloadSearchStart - job.stub.size(), 0);
    SinkPut(&sink, zeros.data(), zeros.size());
  }
  const uint64_t magicOffset = sink.written;
  SinkPut(&sink, header, sizeof(header));
  const uint64_t streamStart = sink.written;

  ProgressAdapter adapter = {{ProgressUpdate}, &progress, unpacked, 0};
  result = LzmaEnc_Encode(encoder, &sink.base, &source.base, &adapter.base, &alloc, &alloc);
  LzmaEnc_Destroy(encoder, &alloc, &alloc);
  if (!source.problem.empty()) return source.problem;
  if (sink.error != 0) return WriteFailed(job.output, sink.error);
  if (result == SZ_ERROR_MEM) return ShowPath(job.output) + ": not enough memory for the LZMA encoder";
  if (result != SZ_OK)
    return ShowPath(job.output) + ": the LZMA encoder failed (SDK result " + std::to_string(result) + ")";
  // A file rewritten between the passes would leave a checksum that fails every install.
  if (source.checksum != expectedChecksum) return ShowPath(job.output) + ": a product file changed while being packed";

  const uint64_t streamSize = sink.written - streamStart;
  const uint64_t findable = PackFindableSize(magicOffset);
  if (sink.written < findable) {
    std::vector<uint8_t> zeros(findable - sink.written, 0);
    SinkPut(&sink, zeros.data(), zeros.size());
  }
  SinkFlush(&sink);
  if (sink.error != 0) return WriteFailed(job.output, sink.error);
  if (sink.written > 0xFFFFFFFFu) {
    return ShowPath(job.output) + ": the installer would be " + std::to_string(sink.written) +
           " bytes; the installer reads at most 4294967295";
  }
  report->entries = static_cast<uint32_t>(job.files.size());
  report->bytesIn = 0;
  for (const ProductFile& f : job.files) report->bytesIn += f.size;
  report->unpackedSize = unpacked;
  report->streamSize = streamSize;
  report->installerSize = sink.written;
  report->dictionarySize = dictionary;
  if (progress) progress(kPackCompressing, unpacked, unpacked);
  return std::string();
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

std::string PackInstaller(const PackJob& job, const PackProgress& progress, PackReport* report) {
  uint32_t checksum = 0;
  std::string problem = ComputeChecksum(job.files, progress, &checksum);
  if (!problem.empty()) return problem;
  fs::path temporary;
  PlatformFile file = PLATFORM_INVALID_FILE;
  problem = CreateTemporary(job.output, &temporary, &file);
  if (!problem.empty()) return problem;
  RemoveOnInterrupt(kInterruptTemporary, temporary);
  problem = WriteInstaller(job, checksum, file, progress, report);
  if (!PlatformCloseHandle(file) && problem.empty()) problem = WriteFailed(job.output, PlatformGetLastError());
  std::error_code error;
  if (problem.empty()) {
    fs::rename(temporary, job.output, error);
    if (error) problem = ShowPath(job.output) + ": cannot be written (" + error.message() + ")";
  }
  if (!problem.empty()) fs::remove(temporary, error);
  RemoveOnInterrupt(kInterruptTemporary, fs::path());
  return problem;
}
