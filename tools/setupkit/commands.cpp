#include "setupkit/commands.h"

#include <filesystem>

#include "setupkit/file_io.h"
#include "setupkit/inspector.h"
#include "setupkit/pack_command.h"
#include "setupkit/packer.h"
#include "setupkit/planner.h"
#include "setupkit/reading_pass.h"

namespace fs = std::filesystem;

namespace {

const char kToolHelpHead[] =
    "usage: setupkit COMMAND [ARGUMENTS]\n"
    "\n"
    "Packs a product's files into a Windows installer, and lists, verifies and\n"
    "extracts installers.\n"
    "\n"
    "commands:\n";

const char kToolHelpTail[] =
    "\n"
    "'setupkit COMMAND --help' (or -h) describes a command; 'setupkit --version'\n"
    "prints the version.\n"
    "\n"
    "Exit codes: 0 success; 1 the installer's payload is broken or absent, or\n"
    "extract refused an entry; 2 usage error, unreadable input, unwritable output,\n"
    "an installer whose decoding needs more memory than --memlimit allows, or\n"
    "another system error. Each error is one line on stderr naming the file.\n"
    "\n"
    "list, verify, extract and plan take --memlimit SIZE (bytes, or with K, M or\n"
    "G), as xz does: an installer whose LZMA dictionary (cut to its unpacked size)\n"
    "and probability table need more is refused before anything is decoded, with\n"
    "exit code 2, since the file is not broken but this run will not process it.\n"
    "The default, 80M, admits every installer pack makes (its largest dictionary\n"
    "is 64M); the tool's memory beyond the decoder's stays a few MiB.\n";

const char kListHelp[] =
    "usage: setupkit list INSTALLER [--json] [--memlimit SIZE]\n"
    "\n"
    "Decodes the installer's payload and prints its product name and version\n"
    "(FILE_ID.DIZ's first line as the installer reads it; \"(none)\" without one),\n"
    "its identity texts (product code, window class, main program), its archive\n"
    "date, the stub's architecture (x86 or x64, from its PE header) and one line\n"
    "per entry: data size and stored name. --json prints the same as one JSON\n"
    "object with the keys format (the version of this JSON, now 1), productName\n"
    "and productVersion (empty without them), productCode, windowClass,\n"
    "mainProgram, archiveDate, architecture and entries (name, size).\n"    "An installer with an entry UnInst.exe added by pack --uninstaller also shows\n"
    "what that uninstaller will remove (JSON key uninstaller: productCode,\n"
    "productName, windowClass, mainProgram, files; or problem, when its trailer\n"
    "is missing or damaged).\n"
    "Control characters in names and texts are printed escaped (\\x1b, \\n), and\n"
    "so are characters that hide or reorder text (\\u202e, \\u200b) and bytes that\n"
    "are no UTF-8 (\\xff); a backslash that would read as such an escape is doubled\n"
    "(\\\\x1b). JSON escapes the same characters as \\u and is always valid UTF-8.\n"
    "Writes no files. Prints nothing but the error when the payload is broken: the\n"
    "payload is decoded twice, once to check it and once to print the entries, so\n"
    "memory does not grow with their number.\n";

const char kVerifyHelp[] =
    "usage: setupkit verify INSTALLER [--json] [--memlimit SIZE]\n"
    "\n"
    "Decodes the installer's whole payload as the installer does, writing nothing,\n"
    "checks the checksum and that the stub is a setup.exe of a setupkit build.\n"
    "Prints 'ok' with the number of entries and bytes, or what is wrong: no\n"
    "payload found, LZMA data error, checksum mismatch, no stub marker, ...\n"
    "--json prints one JSON object: format, installer, ok, and then either\n"
    "problem or entries, bytes, productName, productVersion and architecture\n"
    "(the stub's: x86 or x64).\n";

const char kExtractHelp[] =
    "usage: setupkit extract INSTALLER DIR [--memlimit SIZE]\n"
    "\n"
    "Writes every entry of the installer below DIR (created when missing) at its\n"
    "stored relative path, creating folders, with the archive date (noon, local\n"
    "time) as the files' times. The entries are written into a staging folder\n"
    "inside DIR and moved into place only when the whole payload checked out; on\n"
    "any failure the staging folder is removed and nothing is extracted, and so it\n"
    "is when Ctrl-C, SIGTERM or SIGHUP ends the decoding. Existing files are\n"
    "replaced. An entry whose name is absolute, carries a drive or\n"
    "stream (':'), would leave DIR ('..') or uses a Windows device name (CON, NUL,\n"
    "COM1, ...) is refused with a line on stderr, and so is one whose place in DIR\n"
    "is a symbolic link or lies below one; the other entries are still extracted,\n"
    "and the exit code is then 1.\n";

const char kPlanHelp[] =
    "usage: setupkit plan INSTALLER [--dest DIR] [--language en|de|it] [--installed-version V] [--json]\n"
    "                     [--memlimit SIZE]\n"
    "\n"
    "Tells what the installer will do when Install is pressed, decided by the\n"
    "installer's own rules: the dialog's caption and title line, the language\n"
    "items and the files a cleared box drops, each file where it lands (folders\n"
    "of stored names dropped) and which ones a later entry overwrites, the main\n"
    "program, the record of installed files, the registry values (stored\n"
    "destination, the whole uninstall entry) and the shortcuts, and the stub's\n"
    "architecture with the registry view its values go to: a 32-bit (x86)\n"
    "installer on 64-bit Windows writes to the 32-bit view (below\n"
    "Software\\WOW6432Node) and proposes Program Files (x86); a 64-bit (x64) one\n"
    "the 64-bit view and Program Files. Writes nothing.\n"
    "The payload is decoded several times (scan, decisions, printing) rather than\n"
    "kept: memory grows with the number of different files installed, not with\n"
    "the number of entries.\n"
    "\n"
    "  --dest DIR       the destination as typed into the dialog; default the one\n"
    "                   proposed on a first run of a plain 64-bit system\n"
    "                   (C:\\Program Files\\ or, for x86, C:\\Program Files (x86)\\,\n"
    "                   and the product name); a full path, as the\n"
    "                   installer refuses any other\n"
    "  --language L     the interface language of the texts: en (default), de, it\n"
    "  --installed-version V\n"
    "                   the version already installed in the destination (its\n"
    "                   record's): says whether the install is an upgrade, the\n"
    "                   same version or a downgrade, which the installer asks about\n"
    "  --json           one JSON object (format 1); each language, file, value and\n"
    "                   shortcut is one object on a line of its own\n"
    "  --memlimit SIZE  the most memory the decoder may take (see 'setupkit --help')\n";

// --memlimit, or the default; false after reporting a usage error.
bool MemoryLimit(const char* command, const Options& options, const Console& console, uint64_t* limit) {
  *limit = kDefaultMemoryLimit;
  if (!options.memLimit.given || (ParseByteSize(options.memLimit.text, limit) && *limit != 0)) return true;
  ReportUsage(console, command, "--memlimit " + options.memLimit.text + ": not a size (bytes, or with K, M or G)");
  return false;
}

int RunList(const Options& options, const Console& console) {
  uint64_t limit;
  if (!MemoryLimit("list", options, console, &limit)) return kExitFailure;
  return Report(console, InspectList(fs::u8path(options.positional[0]), options.json.given, limit, console.out));
}

int RunVerify(const Options& options, const Console& console) {
  const fs::path installer = fs::u8path(options.positional[0]);
  VerifyReport report;
  uint64_t limit;
  if (!MemoryLimit("verify", options, console, &limit)) return kExitFailure;
  const Problem problem = InspectVerify(installer, limit, &report);
  const bool ok = problem.code == kExitSuccess;
  if (options.json.given) {
    PrintVerifyJson(ShowPath(installer), ok ? &report : nullptr, problem.text, console.out);
  } else if (ok) {
    console.out << ShowPath(installer) << ": ok, " << report.entries << " entries, " << report.bytes << " bytes\n";
  }
  return Report(console, problem);
}

int RunExtract(const Options& options, const Console& console) {
  const fs::path installer = fs::u8path(options.positional[0]);
  const fs::path folder = fs::u8path(options.positional[1]);
  ExtractReport report;
  uint64_t limit;
  if (!MemoryLimit("extract", options, console, &limit)) return kExitFailure;
  // One write a line: stderr is unbuffered, and an installer may hold millions of refused names.
  const Problem problem = InspectExtract(installer, folder, limit, &report, [&console](const std::string& line) {
    console.err << "setupkit: " + line + "\n";
  });
  if (problem.code == kExitSuccess || report.refused != 0) {
    console.out << ShowPath(folder) << ": " << report.extracted << " of " << report.entries << " entries extracted, "
                << report.bytes << " bytes\n";
  }
  return Report(console, problem);
}

int RunPlan(const Options& options, const Console& console) {
  PlanRequest request = {options.dest.text, "US", options.json.given, options.installedVersion.text, 0};
  if (!MemoryLimit("plan", options, console, &request.memoryLimit)) return kExitFailure;
  if (options.dest.given && request.destination.empty()) return ReportUsage(console, "plan", "--dest is empty");
  if (options.language.given) {
    const char* const languages[][2] = {{"en", "US"}, {"de", "DE"}, {"it", "IT"}};
    request.interfaceLanguage.clear();
    for (const auto& language : languages) {
      if (options.language.text == language[0]) request.interfaceLanguage = language[1];
    }
    if (request.interfaceLanguage.empty()) return ReportUsage(console, "plan", "--language: not en, de or it");
  }
  return Report(console, PlanInstallation(fs::u8path(options.positional[0]), request, console.out));
}

const OptionSpec kJsonOption = {"--json", &Options::json, false};
const OptionSpec kMemLimitOption = {"--memlimit", &Options::memLimit, true};
static_assert(kDefaultMemoryLimit >= kPackDictionaryMax + (8u << 20),
              "the default admits pack's largest dictionary and the largest probability table (6 MiB)");
const OptionSpec kArchOption = {"--arch", &Options::arch, true};

const Command kCommands[] = {
    {"pack", "write an installer: a stub followed by the product's files", kPackHelp,
     {{"--stub", &Options::stub, true},
      {"--out", &Options::out, true},
      {"--product-code", &Options::productCode, true},
      {"--window-class", &Options::windowClass, true},
      {"--main-program", &Options::mainProgram, true},
      {"--date", &Options::date, true},
      {"--dict-size", &Options::dictSize, true},
      {"--from", &Options::from, true},
      {"--entries", &Options::entries, true},
      {"--uninstaller-program", &Options::uninstallerProgram, true},
      {"--uninstaller", &Options::uninstaller, false},
      {"--strict", &Options::strict, false},
      kArchOption},
     0, RunPack},
    {"uninstaller", "write a product's uninstaller alone, to sign it before packing", kUninstallerHelp,
     {{"--out", &Options::out, true},
      {"--product-code", &Options::productCode, true},
      {"--window-class", &Options::windowClass, true},
      {"--main-program", &Options::mainProgram, true},
      {"--from", &Options::from, true},
      {"--entries", &Options::entries, true},
      {"--uninstaller-program", &Options::uninstallerProgram, true},
      kArchOption},
     0, RunUninstaller},
    {"list", "print an installer's identity texts, archive date and entries", kListHelp, {kJsonOption, kMemLimitOption}, 1, RunList},
    {"verify", "decode an installer's whole payload and check it", kVerifyHelp, {kJsonOption, kMemLimitOption}, 1, RunVerify},
    {"extract", "write an installer's files into a folder", kExtractHelp, {kMemLimitOption}, 2, RunExtract},
    {"plan", "tell what the installer will do, without running it", kPlanHelp,
     {{"--dest", &Options::dest, true},
      {"--language", &Options::language, true},
      {"--installed-version", &Options::installedVersion, true},
      kJsonOption,
      kMemLimitOption},
     1,
     RunPlan},
};

// What 'setupkit --help' prints: the commands come from the table.
std::string SetupkitHelp() {
  std::string commands;
  for (const Command& command : kCommands) {
    commands += "  " + std::string(command.name) + std::string(13 - std::string(command.name).size(), ' ') +
                command.summary + "\n";
  }
  return std::string(kToolHelpHead) + commands + kToolHelpTail;
}

}  // namespace

int SetupkitRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, ProgressStyle style) {
  const Console console = {out, err, style};
  if (args.empty()) return ReportUsage(console, "", "no command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    out << SetupkitHelp();
    return kExitSuccess;
  }
  if (args[0] == "--version") {
    out << "setupkit " << SETUPKIT_VERSION << "\n";
    return kExitSuccess;
  }
  for (const Command& command : kCommands) {
    if (args[0] != command.name) continue;
    Options options{};
    const Problem problem = ParseOptions(command, args, &options);
    if (problem.code != kExitSuccess) return ReportUsage(console, command.name, problem.text);
    if (options.help) {
      out << command.help;
      return kExitSuccess;
    }
    return command.run(options, console);
  }
  return ReportUsage(console, "", "unknown command " + args[0]);
}
