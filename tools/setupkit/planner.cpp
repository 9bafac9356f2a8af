#include "setupkit/planner.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "install/folder_record.h"
#include "install/install_record.h"
#include "setupkit/ansi_text.h"
#include "setupkit/file_io.h"
#include "setupkit/inspector.h"
#include "setupkit/install_simulation.h"
#include "setupkit/reading_pass.h"
#include "setupkit/stub_check.h"
#include "setupkit/text_output.h"
#include "setupkit/uninstaller.h"
#include "text/bounded_text.h"
#include "text/file_name_rules.h"
#include "text/product_description.h"
#include "text/string_tables.h"

namespace fs = std::filesystem;

namespace {

// What the destination edit control takes (the install step's own limit).
const size_t kDestinationLimit = kPathUnits - 3;

struct LanguageItem {
  uint32_t code;
  std::u16string text;
};

// What the installer's scan pass learns.
struct Scan {
  const StringTable* table;
  std::string caption;  // UTF-8
  std::string title;    // the title line, UTF-8
  char productName[kNameFieldUnits];
  char productVersion[kNameFieldUnits];  // the version beside the name that was adopted
  char16_t languageFileBase[kNameFieldUnits];
  std::vector<LanguageItem> items;
  std::set<uint32_t> codes;  // the items' codes
  bool hasUninstaller;       // an entry is named as the uninstaller
};

std::string Text(const StringTable* table, int16_t id) {
  char16_t text[1024];
  LookupString(table, id, text, 1024);
  return Utf16ToUtf8(text);
}

void AddItem(Scan* scan, const std::u16string& text, uint32_t code) {
  if (scan->codes.insert(code).second) scan->items.push_back({code, text});
}

void ScanDataCall(Scan* scan, const char16_t* name, const uint8_t* data, uint32_t size) {
  switch (ClassifyScanEntry(name)) {
    case kScanEntryDescription: {
      ProductDescription description;
      ParseDescriptionLine(data, size, &description);
      char title[1024] = "";
      AppendProductTitle(&description, title, sizeof title);
      scan->caption += " " + ansi::ToUtf8(title);
      scan->title = ansi::ToUtf8(title);
      if (scan->productName[0] == 0) {
        AdoptProductName(description.name, scan->productName, sizeof scan->productName);
        if (scan->productName[0] != 0) AppendNarrow(description.version, scan->productVersion, kNameFieldUnits);
      }
      break;
    }
    case kScanEntryLanguageFile: {
      SetLanguageFileBase(name, scan->languageFileBase, kNameFieldUnits);
      char16_t text[1024];
      if (ReadLanguageFileName(data, size, text, 1024)) AddItem(scan, text, LanguageFileCode(name));
      break;
    }
    case kScanEntryOther:
      break;
  }
}

int ScanHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  Scan* scan = static_cast<Scan*>(context);
  if (data == nullptr) {
    char narrow[kEntryNameUnits];
    WideToNarrow(name, narrow, kEntryNameUnits);
    scan->hasUninstaller = scan->hasUninstaller || IsUninstallerName(narrow);
  } else {
    ScanDataCall(scan, name, data, size);
  }
  return 0;
}

// Every language item checked, as on a first run: 2 for an item's code, 0 for any other.
int CheckOf(uint32_t code, void* context) { return static_cast<const Scan*>(context)->codes.count(code) != 0 ? 2 : 0; }

// The code as the stored name spells it (Windows-1252), in UTF-8.
std::string Code(uint32_t code) {
  char narrow[5];
  LanguageCode4ToNarrow(code, narrow);
  return ansi::ToUtf8(narrow);
}

struct PlannedFile {
  std::string stored, installed, language, overwrittenBy;
};
struct PlannedValue {
  std::string root, key, value, data;
};
struct PlannedLink {
  std::string folder, link, target, workingDirectory;
};

struct Plan {
  std::string caption, title, productName, productVersion, productCode, destination, mainProgram, uninstaller;
  std::string record, error;
  std::string installedVersion, versionCase;  // the --installed-version given and what the installer makes of it
  std::string architecture, registryView;     // the stub's, and the registry view its HKLM values go to
  bool proposed;
  bool quietUninstall;  // the uninstaller carries its trailer: it takes /S
  std::vector<std::pair<LanguageItem, std::vector<std::string>>> languages;  // item, the files its cleared box drops
  std::vector<PlannedValue> values;
  std::vector<PlannedLink> links;
};

// Where the plan goes: text on *out, or JSON through *json when that is not null.
struct PlanOutput {
  std::ostream* out;
  JsonWriter* json;
};

void PrintFile(const PlannedFile& file, PlanOutput* output);

// The entry that writes a path last: its number and, once a second entry
// writes there, its stored name.
struct LastWriter {
  uint32_t entry;
  std::string stored;
};

// The install pass over the payload, streamed so that no entry is kept: the
// deciding run learns each path's last writer (paths folded as Windows folds
// names), what each language's cleared box drops and the state the pass
// leaves; the printing run, with `output`, prints each file as it comes.
// Clearing a box skips exactly that language's files, so one run tells them all.
struct FilePass {
  const Scan* scan;
  InstallState state;
  uint32_t entries;
  uint64_t bytesWritten;
  size_t destinationLength;
  uint64_t memoryLimit;
  std::unordered_map<std::string, LastWriter> writers;
  std::map<uint32_t, std::vector<std::string>> drops;  // by language code
  PlanOutput* output;                                   // null while deciding
};

int FileHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context) {
  if (data != nullptr) return 0;
  FilePass* pass = static_cast<FilePass*>(context);
  Scan* scan = const_cast<Scan*>(pass->scan);
  const uint32_t entry = pass->entries++;
  const std::u16string stored = name;
  const std::u16string path = SimulateEntry(stored, scan->languageFileBase, CheckOf, scan, &pass->state);
  if (path.empty()) return 0;
  // Every path starts with the destination; the rest, folded, tells them apart.
  std::u16string rest = path.substr(std::min(path.size(), pass->destinationLength));
  for (char16_t& c : rest) c = FoldAscii(c);
  std::string key = Utf16ToUtf8(rest);
  uint32_t code = 0;
  const bool language = InstallLanguageCode(stored.c_str(), scan->languageFileBase, &code) && CheckOf(code, scan) != 0;
  if (pass->output != nullptr) {
    const auto last = pass->writers.find(key);
    const bool overwritten = last != pass->writers.end() && last->second.entry != entry;
    PrintFile({Utf16ToUtf8(stored), Utf16ToUtf8(path), language ? Code(code) : "", overwritten ? last->second.stored : ""},
              pass->output);
    return 0;
  }
  pass->bytesWritten += size;
  const auto slot = pass->writers.emplace(std::move(key), LastWriter{entry, ""});
  if (!slot.second) slot.first->second = LastWriter{entry, Utf16ToUtf8(stored)};
  if (language) pass->drops[code].push_back(Utf16ToUtf8(path));
  return 0;
}

// One run of the install pass; the printing run checks that it saw the payload the deciding run saw.
Problem RunFilePass(const fs::path& installer, const InstallState& start, const ArchivePassSummary& scanned,
                    FilePass* pass) {
  const uint32_t decided = pass->entries;
  pass->state = start;
  pass->entries = 0;
  ArchivePassSummary summary;
  Problem problem = ReadingPass(installer, pass->memoryLimit, FileHandler, pass, &summary);
  if (problem.code == kExitSuccess && (summary.actualChecksum != scanned.actualChecksum ||
                                       (pass->output != nullptr && pass->entries != decided))) {
    problem = Broken(ShowPath(installer) + ": changed while being planned");
  }
  return problem;
}

void DecideLinks(const InstallState& state, const std::string& name, const InstallRecordSteps& steps, Plan* plan) {
  char16_t program[kPathUnits], uninstaller[kPathUnits], folder[kPathUnits];
  JoinInstalledPath(state.destination, state.mainProgram, program, kPathUnits);
  JoinInstalledPath(state.destination, state.uninstaller, uninstaller, kPathUnits);
  const std::string group = name + "\\", link = name + ".lnk";
  if (steps.programGroup) {
    plan->links.push_back({"programs", group + link, Utf16ToUtf8(program), plan->destination});
    if (steps.uninstallLink) {
      plan->links.push_back(
          {"programs", group + Utf16ToUtf8(kUninstallLinkName) + ".lnk", Utf16ToUtf8(uninstaller), plan->destination});
    }
  }
  if (steps.shortcuts) {
    // These work in the program's folder as the path gives it, not in the destination as typed.
    CopyWide(program, folder, kPathUnits);
    StripFileName(folder);
    for (const char* place : {"desktop", "quickLaunch"}) {
      plan->links.push_back({place, link, Utf16ToUtf8(program), Utf16ToUtf8(folder)});
    }
  }
}

// The record steps: registry values and shortcuts; a failed install records
// nothing but the folder's record of the files it wrote.
void DecideRecord(const Scan& scan, const ArchivePassSummary& summary, const FilePass& pass, Plan* plan) {
  InstallState state = pass.state;
  state.bytesWritten += pass.bytesWritten;
  char16_t record[kPathUnits];
  JoinInstalledPath(state.destination, kRecordFileName, record, kPathUnits);
  plan->record = Utf16ToUtf8(record);
  plan->mainProgram = Utf16ToUtf8(state.mainProgram);
  plan->uninstaller = Utf16ToUtf8(state.uninstaller);
  char16_t name[kNameFieldUnits], code[4];
  NarrowToWide(scan.productName, name, kNameFieldUnits);
  NarrowToWide(summary.productCode, code, 4);
  InstallRecordSteps steps;
  DecideInstallRecord(&state, name, code, &steps);
  if (!plan->error.empty()) return;
  if (steps.storeDestination) {
    plan->values.push_back({"HKCU", Utf16ToUtf8(kStoredDestinationKey), Utf16ToUtf8(code), plan->destination});
  }
  if (steps.uninstallEntry) {
    char16_t version[kNameFieldUnits];
    NarrowToWide(scan.productVersion, version, kNameFieldUnits);
    const UninstallFacts facts = {name, version, plan->quietUninstall};
    UninstallValue values[kUninstallValueMax];
    const int count = UninstallEntryValues(&state, &facts, values);
    const std::string key = Utf16ToUtf8(kUninstallKeyBase) + Utf16ToUtf8(name);
    for (int i = 0; i < count; ++i) {
      const std::string data = values[i].isNumber ? std::to_string(values[i].number) : Utf16ToUtf8(values[i].text);
      plan->values.push_back({"HKLM", key, Utf16ToUtf8(values[i].name), data});
    }
  }
  DecideLinks(state, Utf16ToUtf8(name), steps, plan);
}

// The deciding run and what follows from it.
Problem Decide(const fs::path& installer, const Scan& scan, const ArchivePassSummary& summary,
               const InstallState& start, FilePass* pass, Plan* plan) {
  Problem problem = RunFilePass(installer, start, summary, pass);
  if (problem.code != kExitSuccess) return problem;
  if (pass->state.pathError != 0) {
    plan->error = "a file's path in the destination would exceed 1023 characters: the install fails (error 206)";
  }
  for (const LanguageItem& item : scan.items) plan->languages.push_back({item, std::move(pass->drops[item.code])});
  DecideRecord(scan, summary, *pass, plan);
  return NoProblem();
}

// What the installer makes of the version installed in the folder (its record's).
std::string VersionCase(const std::string& installed, const std::string& offered) {
  if (installed.empty()) return "";
  const std::u16string a = Utf8ToUtf16(installed), b = Utf8ToUtf16(offered);
  switch (CompareVersions(a.c_str(), b.c_str())) {
    case 1:
      return "downgrade: the dialog asks \"Version " + installed + " of ... is installed. Install the older version " +
             offered + "?\"; silent, it is refused (exit code 7) unless /ALLOWDOWNGRADE";
    case 0:
      return "same version: installs as on a first run over the files";
    case -1:
      return "upgrade: installs over the older version";
  }
  return "versions cannot be compared: installs as over any version";
}

// Up to the files, which the printing run adds.
void PrintTextHead(const Plan& plan, std::ostream& out) {
  out << "Dialog\n  caption:      " << Printable(plan.caption) << "\n  title line:   " << Printable(plan.title)
      << "\n  product name: " << (plan.productName.empty() ? "(none: no uninstall entry, group or shortcuts)"
                                                           : Printable(plan.productName))
      << "\n  destination:  " << Printable(plan.destination) << (plan.proposed ? "  (proposed on a first run)" : "")
      << "\n\nArchitecture: " << (plan.architecture.empty() ? "(unknown)" : plan.architecture);
  if (!plan.registryView.empty()) out << ", the " << plan.registryView << " registry view";
  if (plan.architecture == "x86") out << " (on 64-bit Windows: below Software\\WOW6432Node, and Program Files (x86))";
  out << "\n\nLanguages (a cleared box drops)\n";
  for (const auto& language : plan.languages) {
    out << "  " << Printable(Code(language.first.code)) << " " << Printable(Utf16ToUtf8(language.first.text)) << ":";
    if (language.second.empty()) out << " nothing";
    for (const std::string& path : language.second) out << " " << Printable(path);
    out << "\n";
  }
  out << "\nFiles\n";
}

// What follows the files.
void PrintTextTail(const Plan& plan, std::ostream& out) {
  if (!plan.error.empty()) out << "\nInstall fails: " << plan.error << "\n";
  out << "\nMain program: " << (plan.mainProgram.empty() ? "(none)" : Printable(plan.mainProgram))
      << "\nUninstaller:  " << (plan.uninstaller.empty() ? "(none)" : Printable(plan.uninstaller))
      << (plan.uninstaller.empty() ? "" : plan.quietUninstall ? "  (takes /S)" : "  (not setupkit's: no quiet command)")
      << "\nRecord:       " << Printable(plan.record) << "  (every file installs wrote here, for the uninstaller)";
  if (!plan.installedVersion.empty()) {
    out << "\nInstalled:    " << Printable(plan.installedVersion) << " -> " << Printable(plan.versionCase);
  }
  out << "\n\nRegistry values\n";
  for (const PlannedValue& value : plan.values) {
    out << "  " << value.root << "\\" << Printable(value.key) << "  " << Printable(value.value) << " = "
        << Printable(value.data) << "\n";
  }
  out << "\nShortcuts (each with its check box; Quick Launch only where the system has that folder)\n";
  for (const PlannedLink& link : plan.links) {
    out << "  " << link.folder << "\\" << Printable(link.link) << " -> " << Printable(link.target) << " in "
        << Printable(link.workingDirectory) << "\n";
  }
}

typedef std::vector<std::pair<const char*, std::string>> JsonTexts;

// One object on one line, of text members; with `close` false more may follow.
void JsonRow(JsonWriter* json, const JsonTexts& texts, bool close = true) {
  JsonOpen(json, nullptr, '{', false);
  for (const auto& text : texts) JsonText(json, text.first, text.second);
  if (close) JsonClose(json);
}

// An array of one object a line, so that a line-oriented reader (the end-to-end test) needs no JSON parser.
template <typename Item>
void JsonRows(JsonWriter* json, const char* key, const std::vector<Item>& items, JsonTexts (*row)(const Item&)) {
  JsonOpen(json, key, '[', true);
  for (const Item& item : items) JsonRow(json, row(item));
  JsonClose(json);
}

JsonTexts FileRow(const PlannedFile& f) {
  return {{"stored", f.stored}, {"installed", f.installed}, {"language", f.language}, {"overwrittenBy", f.overwrittenBy}};
}

JsonTexts ValueRow(const PlannedValue& v) {
  return {{"root", v.root}, {"key", v.key}, {"value", v.value}, {"data", v.data}};
}

JsonTexts LinkRow(const PlannedLink& l) {
  return {{"folder", l.folder}, {"link", l.link}, {"target", l.target}, {"workingDirectory", l.workingDirectory}};
}

// Up to the files, whose array the printing run fills.
void PrintJsonHead(const Plan& plan, JsonWriter* json) {
  JsonOpen(json, nullptr, '{', true);
  JsonNumber(json, "format", kJsonFormat);
  const std::pair<const char*, const std::string*> head[] = {
      {"caption", &plan.caption}, {"title", &plan.title}, {"productName", &plan.productName},
      {"productCode", &plan.productCode}, {"destination", &plan.destination}};
  for (const auto& text : head) JsonText(json, text.first, *text.second);
  JsonBool(json, "proposed", plan.proposed);
  JsonText(json, "architecture", plan.architecture);
  JsonText(json, "registryView", plan.registryView);
  JsonText(json, "mainProgram", plan.mainProgram);
  JsonText(json, "uninstaller", plan.uninstaller);
  JsonBool(json, "quietUninstall", plan.quietUninstall);
  JsonText(json, "record", plan.record);
  JsonText(json, "productVersion", plan.productVersion);
  JsonText(json, "installedVersion", plan.installedVersion);
  JsonText(json, "versionCase", plan.versionCase);
  JsonText(json, "error", plan.error);
  JsonOpen(json, "languages", '[', true);
  for (const auto& language : plan.languages) {
    JsonRow(json, {{"code", Code(language.first.code)}, {"item", Utf16ToUtf8(language.first.text)}}, false);
    JsonOpen(json, "drops", '[', false);
    for (const std::string& path : language.second) JsonText(json, nullptr, path);
    JsonClose(json);
    JsonClose(json);
  }
  JsonClose(json);
  JsonOpen(json, "files", '[', true);
}

void PrintJsonTail(const Plan& plan, JsonWriter* json) {
  JsonClose(json);
  JsonRows(json, "registry", plan.values, ValueRow);
  JsonRows(json, "shortcuts", plan.links, LinkRow);
  JsonClose(json);
}

void PrintFile(const PlannedFile& file, PlanOutput* output) {
  if (output->json != nullptr) {
    JsonRow(output->json, FileRow(file));
    return;
  }
  std::ostream& out = *output->out;
  out << "  " << Printable(file.installed) << "  <- " << Printable(file.stored);
  if (!file.language.empty()) out << "  [" << Printable(file.language) << "]";
  if (!file.overwrittenBy.empty()) out << "  (overwritten by " << Printable(file.overwrittenBy) << ")";
  out << "\n";
}

// The scan pass as the dialog makes it, in the interface language's texts.
Problem ScanInstaller(const fs::path& installer, const PlanRequest& request, Scan* scan, ArchivePassSummary* summary) {
  scan->table = FindStringTable(request.interfaceLanguage.c_str());
  scan->caption = Text(scan->table, kTextDialogTitle);
  // The list starts with the two built-in items, before the scan adds the product's.
  char16_t text[31];
  LookupString(scan->table, kTextLanguageEnglish, text, 31);
  AddItem(scan, text, LanguageCode4FromNarrow("US"));
  LookupString(scan->table, kTextLanguageGerman, text, 31);
  AddItem(scan, text, LanguageCode4FromNarrow("DE"));
  return ReadingPass(installer, request.memoryLimit, ScanHandler, scan, summary);
}

Problem ChooseDestination(const PlanRequest& request, const Scan& scan, const std::string& architecture,
                          std::u16string* destination) {
  *destination = Utf8ToUtf16(request.destination);
  if (request.destination.empty()) {
    // A plain 64-bit system: Program Files beside C:\Windows, no folder stored by an earlier run. A 32-bit
    // installer reads ProgramFilesDir through the 32-bit registry view, which names Program Files (x86).
    char16_t folder[kPathUnits] = u"C:\\Windows";
    ProgramFilesBesideWindows(folder, kPathUnits);
    if (architecture == "x86") AppendWide(u" (x86)", folder, kPathUnits);
    ProposeDestination(folder, kPathUnits, scan.productName);
    *destination = folder;
  } else if (destination->size() > kDestinationLimit) {
    return Failure("--dest: longer than the installer's destination field (" + std::to_string(kDestinationLimit) +
                   " characters)");
  } else if (!IsFullyQualifiedPath(destination->c_str())) {
    return Failure("--dest " + request.destination +
                   ": not a full path; the installer refuses a folder without a drive or share (C:\\..., "
                   "\\\\server\\share\\...)");
  }
  return NoProblem();
}

// Whether the uninstaller the install writes carries its trailer; a second
// pass copies it only when the product has one.
Problem FindQuietUninstall(const fs::path& installer, uint64_t memoryLimit, const Scan& scan, bool* quiet) {
  *quiet = false;
  if (!scan.hasUninstaller) return NoProblem();
  UninstallerInfo info;
  bool found = false;
  Problem problem = ReadUninstallerOf(installer, memoryLimit, &info, &found);
  *quiet = found && info.problem.empty();
  return problem;
}

// The plan's head, then the files as the printing run meets them, then the rest.
Problem PrintPlan(const fs::path& installer, const Plan& plan, const InstallState& start,
                  const ArchivePassSummary& summary, bool json, FilePass* pass, std::ostream& out) {
  JsonWriter writer = {&out, {}};
  PlanOutput output = {&out, json ? &writer : nullptr};
  if (json) {
    PrintJsonHead(plan, &writer);
  } else {
    PrintTextHead(plan, out);
  }
  pass->output = &output;
  Problem problem = RunFilePass(installer, start, summary, pass);
  if (problem.code != kExitSuccess) return problem;
  if (json) {
    PrintJsonTail(plan, &writer);
  } else {
    PrintTextTail(plan, out);
  }
  return NoProblem();
}

}  // namespace

Problem PlanInstallation(const fs::path& installer, const PlanRequest& request, std::ostream& out) {
  Scan scan{};
  ArchivePassSummary summary;
  Problem problem = ScanInstaller(installer, request, &scan, &summary);
  if (problem.code != kExitSuccess) return problem;
  Plan plan{};
  plan.caption = scan.caption;
  plan.title = scan.title;
  plan.productName = ansi::ToUtf8(scan.productName);
  plan.productVersion = ansi::ToUtf8(scan.productVersion);
  plan.installedVersion = request.installedVersion;
  plan.versionCase = VersionCase(request.installedVersion, plan.productVersion);
  plan.productCode = ansi::ToUtf8(summary.productCode);
  plan.proposed = request.destination.empty();
  std::u16string destination;
  plan.architecture = FileArchitecture(installer);
  plan.registryView = plan.architecture == "x64" ? "64-bit" : plan.architecture == "x86" ? "32-bit" : "";
  problem = ChooseDestination(request, scan, plan.architecture, &destination);
  if (problem.code != kExitSuccess) return problem;
  plan.destination = Utf16ToUtf8(destination);
  // The dialog's list shows its items sorted by their text.
  std::stable_sort(scan.items.begin(), scan.items.end(), [](const LanguageItem& a, const LanguageItem& b) {
    std::u16string x = a.text, y = b.text;
    for (char16_t& c : x) c = FoldAscii(c);
    for (char16_t& c : y) c = FoldAscii(c);
    return x < y;
  });
  problem = FindQuietUninstall(installer, request.memoryLimit, scan, &plan.quietUninstall);
  if (problem.code != kExitSuccess) return problem;
  InstallState start;
  StartSimulatedInstall(destination, summary.mainProgramName, &start);
  FilePass pass{&scan, start, 0, 0, destination.size(), request.memoryLimit, {}, {}, nullptr};
  problem = Decide(installer, scan, summary, start, &pass, &plan);
  if (problem.code != kExitSuccess) return problem;
  return PrintPlan(installer, plan, start, summary, request.json, &pass, out);
}
