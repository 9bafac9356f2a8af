#include "setupkit/pack_command.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "archive/entry_format.h"
#include "setupkit/ansi_text.h"
#include "setupkit/entry_stream_writer.h"
#include "setupkit/file_io.h"
#include "setupkit/pack_warnings.h"
#include "setupkit/packer.h"
#include "setupkit/product_files.h"
#include "setupkit/stored_text.h"
#include "setupkit/stub_check.h"
#include "setupkit/uninstaller.h"

namespace fs = std::filesystem;

extern const char kPackHelp[] =
    "usage: setupkit pack [--stub FILE] --out FILE --product-code TEXT\n"
    "                     [--window-class TEXT] [--main-program TEXT]\n"
    "                     [--date YYYY-MM-DD] [--dict-size BYTES]\n"
    "                     [--uninstaller [--uninstaller-program FILE]] [--strict]\n"
    "                     [--arch x86|x64]\n"
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
    "                       default: the stub installed with setupkit for --arch,\n"
    "                       ../share/setupkit/setup.exe (x86) or\n"
    "                       ../share/setupkit/x64/setup.exe from its program\n"
    "  --arch x86|x64       the installer's architecture: x86 (the default), a\n"
    "                       32-bit installer, which on 64-bit Windows installs\n"
    "                       into Program Files (x86) and the 32-bit registry view;\n"
    "                       x64, a 64-bit one, which installs into Program Files\n"
    "                       and the 64-bit view. A --stub of the other\n"
    "                       architecture is refused; without --arch a --stub\n"
    "                       is taken as it is\n"
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
    "                       as the stub, and so of its architecture); default:\n"
    "                       uninst.exe beside --stub. A\n"
    "                       signed program is refused: write the uninstaller with\n"
    "                       setupkit uninstaller, sign it and put it into the\n"
    "                       product as UnInst.exe instead\n"
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
    "(#32770, Shell_TrayWnd, Button, ...); a product's own UnInst.exe whose\n"
    "trailer (from setupkit uninstaller) is damaged or names another product\n"
    "name, code, window class, main program or other files than pack packs;\n"
    "files that land on the same name in\n"
    "the destination folder, where the installer puts every file.\n"
    "\n"
    "Progress goes to stderr: on a terminal one line updated in place, otherwise\n"
    "a line at the start, at each quarter of the compression and at the end (size,\n"
    "ratio, time). Ctrl-C, SIGTERM or SIGHUP remove the temporary files. At the\n"
    "end pack prints the number of entries, bytes in (the files), bytes out (the\n"
    "LZMA stream) and their ratio.\n";

extern const char kUninstallerHelp[] =
    "usage: setupkit uninstaller --out FILE --product-code TEXT [--window-class TEXT]\n"
    "                            [--main-program TEXT] [--uninstaller-program FILE]\n"
    "                            [--arch x86|x64]\n"
    "                            (--from DIR | --entries FILE)\n"
    "\n"
    "Writes the uninstaller pack --uninstaller would add for the product, on its\n"
    "own: the uninstaller program followed by what it needs to undo the install,\n"
    "for a release pipeline that signs it before packing. Sign FILE (osslsigncode,\n"
    "signtool), put it into the product as UnInst.exe and pack without\n"
    "--uninstaller and with the same options: pack then checks that the\n"
    "uninstaller still describes the product and warns when it does not. An\n"
    "UnInst.exe already in the product is left out of what the new one lists.\n"
    "\n"
    "  --out FILE           the uninstaller to write; an existing file is replaced\n"
    "  --uninstaller-program FILE\n"
    "                       the uninstaller program as built, not signed; default:\n"
    "                       the one installed with setupkit for --arch,\n"
    "                       ../share/setupkit/uninst.exe (x86) or\n"
    "                       ../share/setupkit/x64/uninst.exe from its program\n"
    "  --arch x86|x64       the architecture of the installer it goes into (x86,\n"
    "                       the default, or x64); a program of the other one is\n"
    "                       refused\n"
    "\n"
    "--product-code, --window-class, --main-program, --from and --entries as for\n"
    "pack (setupkit pack --help). The product needs FILE_ID.DIZ naming it.\n";

namespace {

// Enough clashes to show the pattern without flooding a build log.
const size_t kShownClashes = 10;

// The stub installed with the tool (make install, the Debian package) for an
// architecture: share/setupkit/setup.exe (x86) or share/setupkit/x64/setup.exe
// beside the bin/ folder of the running setupkit, uninst.exe beside each.
fs::path InstalledStub(const std::string& arch) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error || self.empty()) return fs::path();
  const fs::path share = self.parent_path().parent_path() / "share" / "setupkit";
  return (arch == "x64" ? share / "x64" : share) / "setup.exe";
}

// --arch as given, or the default x86; a usage problem for another value.
Problem ParseArch(const Options& options, std::string* arch) {
  *arch = options.arch.given ? options.arch.text : "x86";
  if (*arch != "x86" && *arch != "x64") return Failure("--arch " + *arch + ": not x86 or x64");
  return NoProblem();
}

// The problem of a program whose architecture (`found`, from its PE header) is not the one --arch asks for;
// empty when it is, or --arch is not given.
std::string ArchMismatch(const Options& options, const std::string& found, const fs::path& path) {
  if (!options.arch.given || found == options.arch.text) return std::string();
  return ShowPath(path) + ": is " + (found.empty() ? "of no architecture setupkit knows" : "an " + found + " program") +
         ", not " + options.arch.text + " (--arch " + options.arch.text + ")";
}

// "2024-05-01" as an ArchiveDate.
Problem ParseDate(const std::string& text, uint32_t* archiveDate) {
  bool shape = text.size() == 10 && text[4] == '-' && text[7] == '-';
  for (size_t i = 0; shape && i < text.size(); ++i) shape = i == 4 || i == 7 || (text[i] >= '0' && text[i] <= '9');
  if (!shape) return Failure("--date " + text + ": not a date of the form YYYY-MM-DD");
  const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
            day = std::stoi(text.substr(8, 2));
  if (year < 2012) return Failure("--date " + text + ": before 2012-01-01, the earliest date an installer can hold");
  int y, m, d;
  const uint32_t value = month >= 1 && month <= 12 && day >= 1 && day <= 31 ? ArchiveDateFromYmd(year, month, day) : 0;
  if (!ArchiveDateToYmd(value, &y, &m, &d) || y != year || m != month || d != day) {
    return Failure("--date " + text + ": no such day");
  }
  *archiveDate = value;
  return NoProblem();
}

// The default archive date: the UTC day of SOURCE_DATE_EPOCH when it is set (the
// reproducible-builds convention), else today in local time.
Problem DefaultDate(uint32_t* archiveDate) {
  const char* epoch = getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr || epoch[0] == 0) {
    time_t now = time(nullptr);
    struct tm local = *localtime(&now);
    *archiveDate = ArchiveDateFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return NoProblem();
  }
  const std::string text = epoch;
  const std::string why = "SOURCE_DATE_EPOCH=" + text + ": ";
  if (text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) {
    return Failure(why + "not a number of seconds since 1970-01-01 UTC");
  }
  const time_t seconds = static_cast<time_t>(std::stoll(text));
  struct tm utc = {};
  const struct tm* converted = gmtime(&seconds);
  if (converted != nullptr) utc = *converted;
  char day[16];
  if (converted == nullptr || strftime(day, sizeof(day), "%Y-%m-%d", &utc) != 10) {
    return Failure(why + "not a date an installer can hold");
  }
  const Problem problem = ParseDate(day, archiveDate);
  return problem.code == kExitSuccess ? problem : Failure(why + problem.text);
}

// "16M", "4096", "512k".
Problem ParseDictionarySize(const std::string& text, uint32_t* size) {
  const std::string range = "; give 4096 to 67108864 bytes (4K to 64M)";
  uint64_t value = 0;
  if (!ParseByteSize(text, &value)) return Failure("--dict-size " + text + ": not a size" + range);
  if (value < kPackDictionaryMin || value > kPackDictionaryMax) {
    return Failure("--dict-size " + text + ": out of range" + range);
  }
  *size = static_cast<uint32_t>(value);
  return NoProblem();
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

// The options pack (or, without `pack`, uninstaller) cannot do without, and
// the stub's path, whose folder holds the default uninst.exe; a usage problem.
Problem CheckPackOptions(const Options& options, bool pack, fs::path* stub) {
  if (!options.out.given) return Failure("missing --out");
  if (!options.productCode.given) return Failure("missing --product-code");
  if (options.from.given == options.entries.given) return Failure("give exactly one of --from DIR and --entries FILE");
  if (pack && !options.uninstaller.given && options.uninstallerProgram.given) {
    return Failure("--uninstaller-program needs --uninstaller");
  }
  std::string arch;
  const Problem problem = ParseArch(options, &arch);
  if (problem.code != kExitSuccess) return problem;
  *stub = options.stub.given ? fs::u8path(options.stub.text) : InstalledStub(arch);
  std::error_code error;
  // The uninstaller command needs no stub, only the uninst.exe installed beside it.
  if (pack && !options.stub.given && !fs::is_regular_file(*stub, error)) {
    return Failure("missing --stub, and no stub is installed with setupkit" +
                   (stub->empty() ? std::string() : " (" + ShowPath(*stub) + ")"));
  }
  return NoProblem();
}

// The identity texts in Windows-1252.
Problem ReadIdentityTexts(const Options& options, PackJob* job) {
  const struct {
    stored::Identity kind;
    const char* name;
    const OptionValue& value;
    std::string* text;
  } identities[] = {{stored::Identity::kProductCode, "--product-code", options.productCode, &job->productCode},
                    {stored::Identity::kWindowClass, "--window-class", options.windowClass, &job->productWindowClass},
                    {stored::Identity::kMainProgram, "--main-program", options.mainProgram, &job->mainProgramName}};
  for (const auto& identity : identities) {
    const std::string why = stored::CheckIdentity(identity.kind, identity.value.text, identity.text);
    if (!why.empty()) return Failure(std::string(identity.name) + " \"" + identity.value.text + "\" " + why);
  }
  return NoProblem();
}

// The identity texts, the archive date and the dictionary size.
Problem ReadPackTexts(const Options& options, PackJob* job) {
  const Problem identity = ReadIdentityTexts(options, job);
  if (identity.code != kExitSuccess) return identity;
  const Problem date = options.date.given ? ParseDate(options.date.text, &job->archiveDate) : DefaultDate(&job->archiveDate);
  if (date.code != kExitSuccess) return date;
  job->dictionarySize = kPackDictionaryDefault;
  return options.dictSize.given ? ParseDictionarySize(options.dictSize.text, &job->dictionarySize) : NoProblem();
}

// The stub, checked, and an output that is neither a folder nor the stub.
Problem LoadStub(const Options& options, const fs::path& stub, PackJob* job) {
  Problem problem = ReadWholeFile(stub, &job->stub);
  if (problem.code != kExitSuccess) return problem;
  const std::string why = StubCheck(job->stub);
  if (!why.empty()) return Failure(ShowPath(stub) + ": " + why);
  const std::string mismatch = ArchMismatch(options, ProgramArchitecture(job->stub, job->stub.size()), stub);
  if (!mismatch.empty()) return Failure(mismatch);
  std::error_code error;
  if (fs::is_directory(job->output, error)) {
    return Failure(ShowPath(job->output) + ": is a folder; give the installer's file name");
  }
  // fs::equivalent compares device and inode, so a link or another spelling of the stub counts too.
  if (fs::exists(job->output, error) && fs::equivalent(job->output, stub, error)) {
    return Failure(ShowPath(job->output) + ": is the stub itself; write the installer elsewhere");
  }
  return NoProblem();
}

// The product's files from --from or --entries; *origin names where they came from.
Problem GatherFiles(const Options& options, PackJob* job, std::string* origin) {
  if (options.entries.given) {
    const fs::path list = fs::u8path(options.entries.text);
    *origin = ShowPath(list);
    return ProductFilesFromList(list, &job->files);
  }
  const fs::path folder = fs::u8path(options.from.text);
  *origin = ShowPath(folder);
  const Problem problem = ProductFilesFromFolder(folder, &job->files);
  if (problem.code == kExitSuccess && IsInside(job->output, folder)) {
    return Failure(ShowPath(job->output) + ": lies inside the product folder " + *origin + "; write it elsewhere");
  }
  return problem;
}

// Everything the installer will hold, checked: files, product name, uninstaller.
Problem PrepareJob(const Options& options, const fs::path& stub, PackJob* job) {
  Problem problem = LoadStub(options, stub, job);
  if (problem.code != kExitSuccess) return problem;
  std::string origin;
  problem = GatherFiles(options, job, &origin);
  if (problem.code != kExitSuccess) return problem;
  problem = ProductNameOf(job->files, &job->productName, &job->described);
  if (problem.code != kExitSuccess) return problem;
  if (options.uninstaller.given) {
    const fs::path program = options.uninstallerProgram.given ? fs::u8path(options.uninstallerProgram.text)
                                                              : stub.parent_path() / "uninst.exe";
    problem = AddUninstaller(program, job);
    if (problem.code != kExitSuccess) return problem;
  }
  const EntryStreamTexts header = {job->productCode, job->productWindowClass, job->mainProgramName};
  return ProductFilesCheck(job->files, StreamHeaderSize(header), origin);
}

// Prints the warnings; with --strict they are errors.
Problem ShowWarnings(const Options& options, const PackJob& job, const Console& console) {
  std::vector<std::string> warnings = PackWarnings(job, options.mainProgram.text);
  for (const std::string& mismatch : UninstallerMismatches(job)) warnings.push_back(mismatch);
  const std::vector<std::string> clashes = ProductFilesFlatteningClashes(job.files);
  for (size_t i = 0; i < clashes.size() && i < kShownClashes; ++i) warnings.push_back(clashes[i]);
  if (clashes.size() > kShownClashes) {
    warnings.push_back(std::to_string(clashes.size() - kShownClashes) +
                       " more files share their file name with an earlier one");
  }
  const bool strict = options.strict.given;
  for (const std::string& warning : warnings) {
    console.err << (strict ? "setupkit: error: " : "setupkit: warning: ") << warning << "\n";
  }
  return strict && !warnings.empty() ? Failure("--strict: no installer written, see above") : NoProblem();
}

// Writes the installer with progress, and says what it wrote.
int WriteAndReport(const PackJob& job, const Console& console) {
  ProgressLine line(console.err, console.style);
  PackProgress progress;
  if (console.style != kProgressNone) {
    progress = [&line](PackStage stage, uint64_t done, uint64_t total) { line.Show(stage, done, total); };
  }
  line.Start(job);
  PackReport report;
  const Problem problem = PackInstaller(job, progress, &report);
  line.Clear();
  if (problem.code != kExitSuccess) return Report(console, problem);
  char ratio[32];
  snprintf(
      ratio, sizeof(ratio), "%.1f%%",
      report.bytesIn == 0 ? 0.0 : 100.0 * static_cast<double>(report.streamSize) / static_cast<double>(report.bytesIn));
  line.Finish(report, ratio);
  console.out << ShowPath(job.output) << ": " << report.entries << " entries, " << report.bytesIn << " bytes in, "
              << report.streamSize << " bytes out (" << ratio << "), installer " << report.installerSize << " bytes\n";
  return kExitSuccess;
}

// What pack and uninstaller start with: the options, checked (a usage error),
// and the texts read into a new job (pack's also the date and dictionary size).
// Returns the exit code after a problem it reported, or -1 to go on.
int StartJob(const char* command, const Options& options, const Console& console, PackJob* job, fs::path* stub) {
  const bool pack = std::string(command) == "pack";
  Problem problem = CheckPackOptions(options, pack, stub);
  if (problem.code != kExitSuccess) return ReportUsage(console, command, problem.text);
  job->output = fs::u8path(options.out.text);
  problem = pack ? ReadPackTexts(options, job) : ReadIdentityTexts(options, job);
  if (problem.code == kExitSuccess) return -1;
  console.err << "setupkit " << command << ": " << problem.text << "\n";
  return problem.code;
}

// The product's files and name, for the uninstaller command.
Problem GatherProduct(const Options& options, PackJob* job) {
  std::string origin;
  Problem problem = GatherFiles(options, job, &origin);
  if (problem.code != kExitSuccess) return problem;
  return ProductNameOf(job->files, &job->productName, &job->described);
}

}  // namespace

int RunUninstaller(const Options& options, const Console& console) {
  PackJob job{};
  fs::path stub;
  const int started = StartJob("uninstaller", options, console, &job, &stub);
  if (started >= 0) return started;
  Problem problem = GatherProduct(options, &job);
  if (problem.code != kExitSuccess) return Report(console, problem);
  const fs::path program = options.uninstallerProgram.given ? fs::u8path(options.uninstallerProgram.text)
                                                            : stub.parent_path() / "uninst.exe";
  const std::string mismatch = ArchMismatch(options, FileArchitecture(program), program);
  problem = mismatch.empty() ? WriteUninstaller(program, &job, job.output) : Failure(mismatch);
  if (problem.code != kExitSuccess) return Report(console, problem);
  console.out << ShowPath(job.output) << ": uninstaller for \"" << Printable(ansi::ToUtf8(job.productName)) << "\", "
              << job.files.size() << " file names, " << job.files.back().bytes.size() << " bytes\n";
  return kExitSuccess;
}

int RunPack(const Options& options, const Console& console) {
  PackJob job{};
  fs::path stub;
  const int started = StartJob("pack", options, console, &job, &stub);
  if (started >= 0) return started;
  Problem problem = PrepareJob(options, stub, &job);
  if (problem.code == kExitSuccess) problem = ShowWarnings(options, job, console);
  if (problem.code != kExitSuccess) return Report(console, problem);
  return WriteAndReport(job, console);
}
