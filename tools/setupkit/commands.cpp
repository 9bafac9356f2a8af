#include "setupkit/commands.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <system_error>

#include "archive/entry_format.h"
#include "platform/platform.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/inspector.h"
#include "setupkit/interrupt_cleanup.h"
#include "setupkit/pack_warnings.h"
#include "setupkit/packer.h"
#include "setupkit/planner.h"
#include "setupkit/product_files.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit/system_error.h"
#include "setupkit/uninstaller.h"

namespace fs = std::filesystem;

namespace {

const char kToolHelp[] =
    "usage: setupkit COMMAND [ARGUMENTS]\n"
    "\n"
    "Packs a product's files into a Windows installer, and lists, verifies and\n"
    "extracts installers.\n"
    "\n"
    "commands:\n"
    "  pack      write an installer: a stub followed by the product's files\n"
    "  list      print an installer's identity texts, archive date and entries\n"
    "  verify    decode an installer's whole payload and check it\n"
    "  extract   write an installer's files into a folder\n"
    "  plan      tell what the installer will do, without running it\n"
    "\n"
    "'setupkit COMMAND --help' (or -h) describes a command; 'setupkit --version'\n"
    "prints the version.\n"
    "\n"
    "Exit codes: 0 success; 1 the installer's payload is broken or absent, or\n"
    "extract refused an entry; 2 usage error, unreadable input, unwritable output\n"
    "or another system error. Each error is one line on stderr naming the file.\n";

const char kPackHelp[] =
    "usage: setupkit pack [--stub FILE] --out FILE --product-code TEXT\n"
    "                     [--window-class TEXT] [--main-program TEXT]\n"
    "                     [--date YYYY-MM-DD] [--dict-size BYTES]\n"
    "                     [--uninstaller [--uninstaller-program FILE]] [--strict]\n"
    "                     (--from DIR | --entries FILE)\n"
    "\n"
    "Writes an installer: the stub, zero bytes up to offset 89999 when the stub is\n"
    "shorter, then the payload (magic, LZMA header, LZMA-compressed entries) and,\n"
    "for a very small product, zero bytes that let the installer find its payload.\n"
    "Everything is checked before anything is written. The installer is written to\n"
    "a temporary file beside --out and renamed into place: a failed pack leaves no\n"
    "file behind and an existing --out unchanged. The same inputs give the same bytes.\n"
    "\n"
    "  --stub FILE          the installer stub: the setup.exe of a setupkit build\n"
    "                       (recognised by the marker resource it carries), not\n"
    "                       signed yet (sign the packed installer), no payload yet;\n"
    "                       default: the stub installed with setupkit,\n"
    "                       ../share/setupkit/setup.exe from its program\n"
    "  --out FILE           the installer to write; an existing file is replaced;\n"
    "                       refused when it is a folder or the stub itself\n"
    "  --product-code TEXT  1 to 3 characters\n"
    "  --window-class TEXT  window class of the product's program, at most 31\n"
    "                       characters; default empty: the installer then uses the\n"
    "                       product name\n"
    "  --main-program TEXT  file name of the product's main program, at most 31\n"
    "                       characters; default empty: the installer then takes\n"
    "                       the first entry named E*.exe\n"
    "  --date YYYY-MM-DD    archive date, the time every installed file gets;\n"
    "                       2012-01-01 or later; default the UTC day of\n"
    "                       SOURCE_DATE_EPOCH when that is set, else today (local\n"
    "                       time). Give one of them for reproducible output.\n"
    "  --dict-size BYTES    LZMA dictionary size, 4096 to 67108864, or with a K or\n"
    "                       M suffix (KiB, MiB); rounded up to 2^n or 3*2^n bytes;\n"
    "                       default 16M. The installer allocates this much memory.\n"
    "  --from DIR           every regular file below DIR, stored under its path\n"
    "                       relative to DIR with backslashes, in byte order of the\n"
    "                       stored names. Symbolic links to files are followed;\n"
    "                       links to folders, dangling links and special files are\n"
    "                       refused. Folders are not stored, so empty ones vanish.\n"
    "  --entries FILE       the files FILE lists, in its order: one line each,\n"
    "                       'stored name<TAB>source path', UTF-8, sources relative\n"
    "                       to FILE's folder; '/' in a stored name becomes '\\';\n"
    "                       empty lines are skipped\n"
    "  --uninstaller        add an uninstaller as the last entry, UnInst.exe: the\n"
    "                       uninstaller program followed by what it needs to undo\n"
    "                       the install (product name, code, window class, main\n"
    "                       program, the file names the installer can write).\n"
    "                       Needs FILE_ID.DIZ naming the product; refused when an\n"
    "                       entry is already named UnInst.exe (any case)\n"
    "  --strict             treat every warning as an error: exit 2, write nothing\n"
    "  --uninstaller-program FILE\n"
    "                       the uninstaller program (uninst.exe of the same build\n"
    "                       as the stub); default: uninst.exe beside --stub\n"
    "\n"
    "Texts and names are given in UTF-8 and stored in Windows-1252. Refused:\n"
    "characters Windows-1252 lacks, U+0081 (a stored text cannot hold it), control\n"
    "characters, texts over their limits, names over 1019 bytes, absolute names,\n"
    "'.' or '..' or empty components, the characters <>:\"|?*, components ending in\n"
    "a space or dot, Windows device names (CON, NUL, COM1, ...), two names for one\n"
    "file (letters compared without case), a product without files, more than\n"
    "4 GiB - 1 bytes of entries, an --out inside the --from folder.\n"
    "\n"
    "Warnings (one line each on stderr, 'setupkit: warning: ...', saying what the\n"
    "installer will do and how to change it): no FILE_ID.DIZ or no product name\n"
    "the installer can use in its first line; no main program, or one the\n"
    "installer's rule (the first entry named E*.exe) picks among other programs,\n"
    "or a --main-program no entry has; no UnInst.exe without --uninstaller; a\n"
    "window class (or, without one, a product name) that Windows uses itself\n"
    "(#32770, Shell_TrayWnd, Button, ...); files that land on the same name in\n"
    "the destination folder, where the installer puts every file.\n"
    "\n"
    "Progress goes to stderr: on a terminal one line updated in place, otherwise\n"
    "a line at the start, at each quarter of the compression and at the end (size,\n"
    "ratio, time). Ctrl-C, SIGTERM or SIGHUP remove the temporary files. At the\n"
    "end pack prints the number of entries, bytes in (the files), bytes out (the\n"
    "LZMA stream) and their ratio.\n";

const char kListHelp[] =
    "usage: setupkit list INSTALLER [--json]\n"
    "\n"
    "Decodes the installer's payload and prints its identity texts (product code,\n"
    "window class, main program), its archive date and one line per entry: data\n"
    "size and stored name. --json prints the same as one JSON object with the keys\n"
    "format (the version of this JSON, now 1), productName and productVersion\n"
    "(FILE_ID.DIZ's first line as the installer reads it; empty without one),\n"
    "productCode, windowClass, mainProgram, archiveDate and entries (name, size).\n"
    "An installer with an entry UnInst.exe added by pack --uninstaller also shows\n"
    "what that uninstaller will remove (JSON key uninstaller: productCode,\n"
    "productName, windowClass, mainProgram, files; or problem, when its trailer\n"
    "is missing or damaged).\n"
    "Control characters in names and texts are printed escaped (\\x1b, \\n; in JSON\n"
    "as JSON escapes them). Writes no files. Prints nothing but the error when the\n"
    "payload is broken: the payload is decoded twice, once to check it and once to\n"
    "print the entries, so memory does not grow with their number.\n";

const char kVerifyHelp[] =
    "usage: setupkit verify INSTALLER [--json]\n"
    "\n"
    "Decodes the installer's whole payload as the installer does, writing nothing,\n"
    "checks the checksum and that the stub is a setup.exe of a setupkit build.\n"
    "Prints 'ok' with the number of entries and bytes, or what is wrong: no\n"
    "payload found, LZMA data error, checksum mismatch, no stub marker, ...\n"
    "--json prints one JSON object: format, installer, ok, and then either\n"
    "problem or entries, bytes, productName and productVersion.\n";

const char kExtractHelp[] =
    "usage: setupkit extract INSTALLER DIR\n"
    "\n"
    "Writes every entry of the installer below DIR (created when missing) at its\n"
    "stored relative path, creating folders, with the archive date (noon, local\n"
    "time) as the files' times. The entries are written into a staging folder\n"
    "inside DIR and moved into place only when the whole payload checked out; on\n"
    "any failure the staging folder is removed and nothing is extracted. Existing\n"
    "files are replaced. An entry whose name is absolute, carries a drive or\n"
    "stream (':'), would leave DIR ('..') or uses a Windows device name (CON, NUL,\n"
    "COM1, ...) is refused with a line on stderr, and so is one whose place in DIR\n"
    "is a symbolic link or lies below one; the other entries are still extracted,\n"
    "and the exit code is then 1.\n";

// Enough clashes to show the pattern without flooding a build log.
const size_t kShownClashes = 10;

// The stub installed with the tool (make install, the Debian package):
// share/setupkit/setup.exe beside the bin/ folder of the running setupkit.
fs::path InstalledStub() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error || self.empty()) return fs::path();
  return self.parent_path().parent_path() / "share" / "setupkit" / "setup.exe";
}

std::string UsageError(const std::string& command, const std::string& problem) {
  return "setupkit" + (command.empty() ? std::string() : " " + command) + ": " + problem + " (see 'setupkit " +
         (command.empty() ? std::string() : command + " ") + "--help')";
}

// Options and positional arguments of one command.
struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  bool help = false;
};

// `valued` lists the options that take a value, `flags` those that do not.
std::string ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                           const std::vector<std::string>& flags, Arguments* parsed) {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "-h") {
      parsed->help = true;
      continue;
    }
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed->positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      parsed->help = true;
      continue;
    }
    size_t equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    bool isValued = false, isFlag = false;
    for (const std::string& v : valued) isValued |= v == name;
    for (const std::string& f : flags) isFlag |= f == name;
    if (!isValued && !isFlag) return "unknown option " + name;
    if (parsed->options.count(name) != 0) return name + " given twice";
    if (isFlag) {
      if (equals != std::string::npos) return name + " takes no value";
      parsed->options[name] = std::string();
    } else if (equals != std::string::npos) {
      parsed->options[name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed->options[name] = args[++i];
    } else {
      return name + " needs a value";
    }
  }
  return std::string();
}

// "2024-05-01" as an ArchiveDate. Returns an empty string or the problem.
std::string ParseDate(const std::string& text, uint32_t* archiveDate) {
  bool shape = text.size() == 10 && text[4] == '-' && text[7] == '-';
  for (size_t i = 0; shape && i < text.size(); ++i) shape = i == 4 || i == 7 || (text[i] >= '0' && text[i] <= '9');
  if (!shape) return "--date " + text + ": not a date of the form YYYY-MM-DD";
  const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
            day = std::stoi(text.substr(8, 2));
  if (year < 2012) return "--date " + text + ": before 2012-01-01, the earliest date an installer can hold";
  int y, m, d;
  const uint32_t value = month >= 1 && month <= 12 && day >= 1 && day <= 31 ? ArchiveDateFromYmd(year, month, day) : 0;
  if (!ArchiveDateToYmd(value, &y, &m, &d) || y != year || m != month || d != day) {
    return "--date " + text + ": no such day";
  }
  *archiveDate = value;
  return std::string();
}

// The default archive date: the UTC day of SOURCE_DATE_EPOCH when it is set (the
// reproducible-builds convention), else today in local time.
std::string DefaultDate(uint32_t* archiveDate) {
  const char* epoch = getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr || epoch[0] == 0) {
    time_t now = time(nullptr);
    struct tm local = *localtime(&now);
    *archiveDate = ArchiveDateFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return std::string();
  }
  const std::string text = epoch;
  const std::string why = "SOURCE_DATE_EPOCH=" + text + ": ";
  if (text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
    return why + "not a number of seconds since 1970-01-01 UTC";
  }
  const time_t seconds = static_cast<time_t>(std::stoll(text));
  struct tm utc = {};
  const struct tm* converted = gmtime(&seconds);
  if (converted != nullptr) utc = *converted;
  char day[16];
  if (converted == nullptr || strftime(day, sizeof(day), "%Y-%m-%d", &utc) != 10) return why + "not a date an installer can hold";
  const std::string problem = ParseDate(day, archiveDate);
  return problem.empty() ? problem : why + problem;
}

// "16M", "4096", "512k". Returns an empty string or the problem.
std::string ParseDictionarySize(const std::string& text, uint32_t* size) {
  const std::string range = "; give 4096 to 67108864 bytes (4K to 64M)";
  std::string digits = text;
  uint64_t unit = 1;
  if (!digits.empty() && (digits.back() == 'k' || digits.back() == 'K')) unit = 1024;
  if (!digits.empty() && (digits.back() == 'm' || digits.back() == 'M')) unit = 1024 * 1024;
  if (unit != 1) digits.pop_back();
  if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return "--dict-size " + text + ": not a size" + range;
  }
  const uint64_t value = std::stoull(digits) * unit;
  if (value < kPackDictionaryMin || value > kPackDictionaryMax) return "--dict-size " + text + ": out of range" + range;
  *size = static_cast<uint32_t>(value);
  return std::string();
}

// Reads a whole (small) file through the platform layer.
std::string ReadWholeFile(const fs::path& path, std::vector<uint8_t>* bytes) {
  std::error_code error;
  if (fs::is_directory(path, error)) return ShowPath(path) + ": is a folder";
  PlatformFile file = PlatformCreateFile(path.u16string().c_str(), false);
  if (file == PLATFORM_INVALID_FILE) {
    return ShowPath(path) + ": cannot be read (" + SystemErrorText(PlatformGetLastError()) + ")";
  }
  bytes->clear();
  uint8_t buffer[65536];
  std::string problem;
  for (;;) {
    uint32_t got = 0;
    if (!PlatformReadFile(file, buffer, sizeof(buffer), &got)) {
      problem = ShowPath(path) + ": cannot be read (" + SystemErrorText(PlatformGetLastError()) + ")";
      break;
    }
    if (got == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + got);
  }
  PlatformCloseHandle(file);
  return problem;
}

bool IsInside(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path a = fs::weakly_canonical(fs::absolute(path, error), error);
  const fs::path b = fs::weakly_canonical(fs::absolute(folder, error), error);
  if (error) return false;
  auto mismatch = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
  return mismatch.first == b.end();
}

// On a terminal one line rewritten in place; elsewhere (a CI log) a line at the
// start, at each quarter of the compression and at the end.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, ProgressStyle style) : err_(err), style_(style) {}
  void Start(const PackJob& job) {
    if (style_ != kProgressLines) return;
    uint64_t bytes = 0;
    for (const ProductFile& f : job.files) bytes += f.size;
    err_ << "setupkit: packing " << job.files.size() << " files, " << bytes << " bytes\n" << std::flush;
    started_ = std::chrono::steady_clock::now();
  }
  void Show(PackStage stage, uint64_t done, uint64_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (style_ == kProgressLines) {
      // The end has a line of its own, with the sizes.
      if (stage == kPackCompressing && percent / 25 > shown_ / 25 && percent < 100) {
        err_ << "setupkit: packing " << percent / 25 * 25 << "%\n" << std::flush;
      }
      if (stage == kPackCompressing) shown_ = std::max(shown_, percent);
      return;
    }
    if (percent == shown_ && stage == stage_) return;
    shown_ = percent;
    stage_ = stage;
    err_ << "\rsetupkit: " << (stage == kPackReading ? "reading " : "packing ") << percent << "%" << std::flush;
  }
  void Finish(const PackReport& report, const char* ratio) {
    if (style_ != kProgressLines) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    char time[32];
    snprintf(time, sizeof(time), "%.1f s", seconds);
    err_ << "setupkit: packed " << report.streamSize << " bytes (" << ratio << "), installer "
         << report.installerSize << " bytes, " << time << "\n" << std::flush;
  }
  void Clear() {
    if (style_ == kProgressTerminal && shown_ >= 0) err_ << "\r                          \r" << std::flush;
  }

 private:
  std::ostream& err_;
  ProgressStyle style_;
  int shown_ = -1;
  PackStage stage_ = kPackReading;
  std::chrono::steady_clock::time_point started_;
};

int RunPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, ProgressStyle style) {
  Arguments a;
  std::string problem = ParseArguments(args,
                                       {"--stub", "--out", "--product-code", "--window-class", "--main-program",
                                        "--date", "--dict-size", "--from", "--entries", "--uninstaller-program"},
                                       {"--uninstaller", "--strict"}, &a);
  if (a.help && problem.empty()) {
    out << kPackHelp;
    return kExitSuccess;
  }
  if (problem.empty() && !a.positional.empty()) problem = "unexpected argument " + a.positional[0];
  for (const char* required : {"--out", "--product-code"}) {
    if (problem.empty() && a.options.count(required) == 0) problem = std::string("missing ") + required;
  }
  const bool hasFrom = a.options.count("--from") != 0, hasEntries = a.options.count("--entries") != 0;
  if (problem.empty() && hasFrom == hasEntries) problem = "give exactly one of --from DIR and --entries FILE";
  const bool withUninstaller = a.options.count("--uninstaller") != 0;
  if (problem.empty() && !withUninstaller && a.options.count("--uninstaller-program") != 0) {
    problem = "--uninstaller-program needs --uninstaller";
  }
  const fs::path stubPath = a.options.count("--stub") != 0 ? fs::u8path(a.options["--stub"]) : InstalledStub();
  std::error_code stubError;
  if (problem.empty() && a.options.count("--stub") == 0 && !fs::is_regular_file(stubPath, stubError)) {
    problem = "missing --stub, and no stub is installed with setupkit" +
              (stubPath.empty() ? std::string() : " (" + ShowPath(stubPath) + ")");
  }
  if (!problem.empty()) {
    err << UsageError("pack", problem) << "\n";
    return kExitFailure;
  }

  PackJob job;
  job.output = fs::u8path(a.options["--out"]);
  const stored::Identity kinds[3] = {stored::Identity::kProductCode, stored::Identity::kWindowClass,
                                     stored::Identity::kMainProgram};
  const char* names[3] = {"--product-code", "--window-class", "--main-program"};
  std::string* texts[3] = {&job.productCode, &job.productWindowClass, &job.mainProgramName};
  for (int i = 0; i < 3 && problem.empty(); ++i) {
    const std::string value = a.options.count(names[i]) != 0 ? a.options[names[i]] : std::string();
    std::string why = stored::CheckIdentity(kinds[i], value, texts[i]);
    if (!why.empty()) problem = std::string(names[i]) + " \"" + value + "\" " + why;
  }
  if (problem.empty()) {
    problem = a.options.count("--date") != 0 ? ParseDate(a.options["--date"], &job.archiveDate)
                                              : DefaultDate(&job.archiveDate);
  }
  job.dictionarySize = kPackDictionaryDefault;
  if (problem.empty() && a.options.count("--dict-size") != 0) {
    problem = ParseDictionarySize(a.options["--dict-size"], &job.dictionarySize);
  }
  if (!problem.empty()) {
    err << "setupkit pack: " << problem << "\n";
    return kExitFailure;
  }

  problem = ReadWholeFile(stubPath, &job.stub);
  if (problem.empty()) {
    std::string why = StubCheck(job.stub);
    if (!why.empty()) problem = ShowPath(stubPath) + ": " + why;
  }
  std::error_code error;
  if (problem.empty() && fs::is_directory(job.output, error)) {
    problem = ShowPath(job.output) + ": is a folder; give the installer's file name";
  }
  // fs::equivalent compares device and inode, so a link or another spelling of the stub counts too.
  if (problem.empty() && fs::exists(job.output, error) && fs::equivalent(job.output, stubPath, error)) {
    problem = ShowPath(job.output) + ": is the stub itself; write the installer elsewhere";
  }
  std::string origin;
  if (problem.empty() && hasFrom) {
    const fs::path folder = fs::u8path(a.options["--from"]);
    origin = ShowPath(folder);
    problem = ProductFilesFromFolder(folder, &job.files);
    if (problem.empty() && IsInside(job.output, folder)) {
      problem = ShowPath(job.output) + ": lies inside the product folder " + origin + "; write it elsewhere";
    }
  } else if (problem.empty()) {
    const fs::path list = fs::u8path(a.options["--entries"]);
    origin = ShowPath(list);
    problem = ProductFilesFromList(list, &job.files);
  }
  // The uninstaller entry is written beside the installer for the packer to read, and goes with it.
  fs::path uninstallerScratch = job.output;
  uninstallerScratch += ".uninst.tmp";
  struct ScratchRemover {
    const fs::path& path;
    bool armed = false;
    ~ScratchRemover() {
      std::error_code ignored;
      if (armed) fs::remove(path, ignored);
      if (armed) RemoveOnInterrupt(kInterruptScratch, fs::path());
    }
  } scratchRemover{uninstallerScratch};
  if (problem.empty() && withUninstaller) {
    const fs::path program = a.options.count("--uninstaller-program") != 0
                                 ? fs::u8path(a.options["--uninstaller-program"])
                                 : stubPath.parent_path() / "uninst.exe";
    scratchRemover.armed = true;
    RemoveOnInterrupt(kInterruptScratch, uninstallerScratch);
    problem = AddUninstaller(program, uninstallerScratch, &job);
  }
  if (problem.empty()) {
    EntryStreamTexts header = {job.productCode, job.productWindowClass, job.mainProgramName};
    problem = ProductFilesCheck(job.files, StreamHeaderSize(header), origin);
  }
  if (!problem.empty()) {
    err << "setupkit: " << problem << "\n";
    return kExitFailure;
  }

  std::vector<std::string> warnings;
  problem = PackWarnings(job, a.options["--main-program"], &warnings);
  const std::vector<std::string> clashes = ProductFilesFlatteningClashes(job.files);
  for (size_t i = 0; i < clashes.size() && i < kShownClashes; ++i) warnings.push_back(clashes[i]);
  if (clashes.size() > kShownClashes) {
    warnings.push_back(std::to_string(clashes.size() - kShownClashes) +
                       " more files share their file name with an earlier one");
  }
  const bool strict = a.options.count("--strict") != 0;
  for (const std::string& warning : warnings) err << (strict ? "setupkit: error: " : "setupkit: warning: ") << warning << "\n";
  if (problem.empty() && strict && !warnings.empty()) problem = "--strict: no installer written, see above";
  if (!problem.empty()) {
    err << "setupkit: " << problem << "\n";
    return kExitFailure;
  }

  ProgressLine line(err, style);
  PackProgress progress;
  if (style != kProgressNone) {
    progress = [&line](PackStage stage, uint64_t done, uint64_t total) { line.Show(stage, done, total); };
  }
  line.Start(job);
  PackReport report;
  problem = PackInstaller(job, progress, &report);
  line.Clear();
  if (!problem.empty()) {
    err << "setupkit: " << problem << "\n";
    return kExitFailure;
  }
  char ratio[32];
  snprintf(
      ratio, sizeof(ratio), "%.1f%%",
      report.bytesIn == 0 ? 0.0 : 100.0 * static_cast<double>(report.streamSize) / static_cast<double>(report.bytesIn));
  line.Finish(report, ratio);
  out << ShowPath(job.output) << ": " << report.entries << " entries, " << report.bytesIn << " bytes in, "
      << report.streamSize << " bytes out (" << ratio << "), installer " << report.installerSize << " bytes\n";
  return kExitSuccess;
}

// list, verify and extract take positional arguments only, plus --json for list.
bool ParseInspect(const std::vector<std::string>& args, size_t positionals, const std::vector<std::string>& flags,
                  const char* help, std::ostream& out, std::ostream& err, Arguments* a, int* exitCode) {
  std::string problem = ParseArguments(args, {}, flags, a);
  if (a->help && problem.empty()) {
    out << help;
    *exitCode = kExitSuccess;
    return false;
  }
  if (problem.empty() && a->positional.size() < positionals) problem = "missing arguments";
  if (problem.empty() && a->positional.size() > positionals)
    problem = "unexpected argument " + a->positional[positionals];
  if (!problem.empty()) {
    err << UsageError(args[0], problem) << "\n";
    *exitCode = kExitFailure;
    return false;
  }
  return true;
}

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Arguments a;
  int exitCode = kExitSuccess;
  if (!ParseInspect(args, 1, {"--json"}, kListHelp, out, err, &a, &exitCode)) return exitCode;
  std::string problem;
  const fs::path installer = fs::u8path(a.positional[0]);
  const bool json = a.options.count("--json") != 0;
  // The last uninstaller entry is the one the installer leaves in the folder: its trailer ends the listing.
  const ListEnd end = {IsUninstallerName, [&](const fs::path* copy) {
                         return copy != nullptr ? UninstallerListing(*copy, json) : std::string();
                       }};
  exitCode = InspectList(installer, json ? ListFormat::kJson : ListFormat::kText, end, out, &problem);
  if (exitCode != kExitSuccess) err << "setupkit: " << problem << "\n";
  return exitCode;
}

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Arguments a;
  int exitCode = kExitSuccess;
  if (!ParseInspect(args, 1, {"--json"}, kVerifyHelp, out, err, &a, &exitCode)) return exitCode;
  const fs::path installer = fs::u8path(a.positional[0]);
  const bool json = a.options.count("--json") != 0;
  VerifyReport report;
  std::string problem;
  exitCode = InspectVerify(installer, &report, &problem);
  if (json) out << VerifyJson(ShowPath(installer), exitCode == kExitSuccess ? &report : nullptr, problem);
  if (exitCode != kExitSuccess) {
    err << "setupkit: " << problem << "\n";
    return exitCode;
  }
  if (!json) out << ShowPath(installer) << ": ok, " << report.entries << " entries, " << report.bytes << " bytes\n";
  return kExitSuccess;
}

int RunExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Arguments a;
  int exitCode = kExitSuccess;
  if (!ParseInspect(args, 2, {}, kExtractHelp, out, err, &a, &exitCode)) return exitCode;
  const fs::path installer = fs::u8path(a.positional[0]);
  const fs::path folder = fs::u8path(a.positional[1]);
  ExtractReport report;
  std::string problem;
  // One write a line: stderr is unbuffered, and an installer may hold millions of refused names.
  exitCode = InspectExtract(
      installer, folder, &report, [&err](const std::string& line) { err << "setupkit: " + line + "\n"; }, &problem);
  if (exitCode == kExitSuccess || report.refused != 0) {
    out << ShowPath(folder) << ": " << report.extracted << " of " << report.entries << " entries extracted, "
        << report.bytes << " bytes\n";
  }
  if (exitCode != kExitSuccess) err << "setupkit: " << problem << "\n";
  return exitCode;
}

const char kPlanHelp[] =
    "usage: setupkit plan INSTALLER [--dest DIR] [--language en|de|it] [--json]\n"
    "\n"
    "Tells what the installer will do when Install is pressed, decided by the\n"
    "installer's own rules: the dialog's caption and title line, the language\n"
    "items and the files a cleared box drops, each file where it lands (folders\n"
    "of stored names dropped) and which ones a later entry overwrites, the main\n"
    "program, the registry values (stored destination, uninstall entry) and the\n"
    "shortcuts. Writes nothing.\n"
    "\n"
    "  --dest DIR       the destination as typed into the dialog; default the one\n"
    "                   proposed on a first run of a plain system (C:\\Program\n"
    "                   Files\\ and the product name)\n"
    "  --language L     the interface language of the texts: en (default), de, it\n"
    "  --json           one JSON object (format 1); each language, file, value and\n"
    "                   shortcut is one object on a line of its own\n";

int RunPlan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Arguments a;
  std::string problem = ParseArguments(args, {"--dest", "--language"}, {"--json"}, &a);
  if (a.help && problem.empty()) {
    out << kPlanHelp;
    return kExitSuccess;
  }
  if (problem.empty() && a.positional.size() != 1) {
    problem = a.positional.empty() ? "missing arguments" : "unexpected argument " + a.positional[1];
  }
  const std::map<std::string, std::string> languages = {{"en", "US"}, {"de", "DE"}, {"it", "IT"}};
  PlanRequest request{a.options.count("--dest") ? a.options["--dest"] : "", "US", a.options.count("--json") != 0};
  if (problem.empty() && a.options.count("--dest") && request.destination.empty()) problem = "--dest is empty";
  if (problem.empty() && a.options.count("--language")) {
    auto language = languages.find(a.options["--language"]);
    if (language == languages.end()) problem = "--language: not en, de or it";
    if (language != languages.end()) request.interfaceLanguage = language->second;
  }
  if (!problem.empty()) {
    err << UsageError(args[0], problem) << "\n";
    return kExitFailure;
  }
  int exitCode = PlanInstallation(fs::u8path(a.positional[0]), request, out, &problem);
  if (exitCode != kExitSuccess) err << "setupkit: " << problem << "\n";
  return exitCode;
}

}  // namespace

int SetupkitRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, ProgressStyle style) {
  if (args.empty()) {
    err << UsageError("", "no command") << "\n";
    return kExitFailure;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kToolHelp;
    return kExitSuccess;
  }
  if (command == "--version") {
    out << "setupkit " << SETUPKIT_VERSION << "\n";
    return kExitSuccess;
  }
  if (command == "pack") return RunPack(args, out, err, style);
  if (command == "list") return RunList(args, out, err);
  if (command == "verify") return RunVerify(args, out, err);
  if (command == "extract") return RunExtract(args, out, err);
  if (command == "plan") return RunPlan(args, out, err);
  err << UsageError("", "unknown command " + command) << "\n";
  return kExitFailure;
}
