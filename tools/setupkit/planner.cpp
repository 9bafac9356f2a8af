#include "setupkit/planner.h"

#include <algorithm>
#include <new>
#include <vector>

#include "archive/archive_pass.h"
#include "install/folder_record.h"
#include "install/install_decisions.h"
#include "install/install_record.h"
#include "setupkit/ansi_text.h"
#include "setupkit/commands.h"
#include "setupkit/inspector.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "text/string_tables.h"

namespace fs = std::filesystem;

namespace {

const int kFileNameUnits = 32;
// What the destination edit control takes (the install step's own limit).
const size_t kDestinationLimit = kPathUnits - 3;

struct LanguageItem {
  uint32_t code;
  std::u16string text;
};

// What the installer's scan pass learns, and every entry's stored name.
struct Scan {
  const StringTable* table;
  std::string caption;  // UTF-8
  std::string title;    // the title line, UTF-8
  char productName[32];
  char productVersion[32];
  char16_t languageFileBase[32];
  std::vector<LanguageItem> items;
  std::vector<std::u16string> entries;
  std::vector<uint32_t> sizes;
  bool outOfMemory;
};

std::string Text(const StringTable* table, int16_t id) {
  char16_t text[1024];
  LookupString(table, id, text, 1024);
  return Utf16ToUtf8(text);
}

void AddItem(Scan* scan, const std::u16string& text, uint32_t code) {
  for (const LanguageItem& item : scan->items) {
    if (item.code == code) return;
  }
  scan->items.push_back({code, text});
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
        if (scan->productName[0] != 0) AppendNarrow(description.version, scan->productVersion, sizeof scan->productVersion);
      }
      break;
    }
    case kScanEntryLanguageFile: {
      SetLanguageFileBase(name, scan->languageFileBase, kFileNameUnits);
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
  try {
    if (data == nullptr) {
      scan->entries.push_back(name);
      scan->sizes.push_back(size);
    } else {
      ScanDataCall(scan, name, data, size);
    }
  } catch (const std::bad_alloc&) {
    scan->outOfMemory = true;
  }
  return 0;
}

// One run of the install decisions over the entries: what each one became
// (empty: skipped), with `cleared` the code of the one unchecked item (0: none).
struct Run {
  const Scan* scan;
  uint32_t cleared;
  InstallState state;
  std::vector<std::u16string> paths;
};

int CheckOf(uint32_t code, void* context) {
  const Run* run = static_cast<const Run*>(context);
  for (const LanguageItem& item : run->scan->items) {
    if (item.code == code) return code == run->cleared ? 1 : 2;
  }
  return 0;
}

void RunDecisions(const Scan& scan, const std::u16string& destination, const char* mainProgram, uint32_t cleared,
                  Run* run) {
  run->scan = &scan;
  run->cleared = cleared;
  run->state = InstallState{};
  CopyWide(destination.c_str(), run->state.destination, kPathUnits);
  NarrowToWide(mainProgram, run->state.mainProgram, kFileNameUnits);
  if (!IsUsableMainProgramName(run->state.mainProgram)) run->state.mainProgram[0] = 0;
  for (size_t i = 0; i < scan.entries.size(); ++i) {
    char16_t name[kPathUnits];
    CopyWide(scan.entries[i].c_str(), name, kPathUnits);
    bool written = DecideInstallEntry(name, scan.languageFileBase, CheckOf, run, &run->state) == kInstallWrite;
    if (written) run->state.bytesWritten += scan.sizes[i];
    run->paths.push_back(written ? name : u"");
  }
}

std::string Code(uint32_t code) {
  char narrow[5];
  LanguageCode4ToNarrow(code, narrow);
  return narrow;
}

bool SamePath(const std::u16string& a, const std::u16string& b) { return SameTextFolded(a.c_str(), b.c_str()); }

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
  std::string caption, title, productName, productCode, destination, mainProgram, uninstaller, record, error;
  bool proposed;
  std::vector<std::pair<LanguageItem, std::vector<std::string>>> languages;  // item, the files its cleared box drops
  std::vector<PlannedFile> files;
  std::vector<PlannedValue> values;
  std::vector<PlannedLink> links;
};

void Decide(const Scan& scan, const ArchivePassSummary& summary, const std::u16string& destination, Plan* plan) {
  Run all;
  RunDecisions(scan, destination, summary.mainProgramName, 0, &all);
  if (all.state.pathError != 0) {
    plan->error = "a file's path in the destination would exceed 1023 characters: the install fails (error 206)";
  }
  for (size_t i = 0; i < scan.entries.size(); ++i) {
    if (all.paths[i].empty()) continue;
    PlannedFile file{Utf16ToUtf8(scan.entries[i]), Utf16ToUtf8(all.paths[i]), "", ""};
    uint32_t code = 0;
    if (InstallLanguageCode(scan.entries[i].c_str(), scan.languageFileBase, &code) && CheckOf(code, &all) != 0) {
      file.language = Code(code);
    }
    for (size_t later = i + 1; later < scan.entries.size(); ++later) {
      if (SamePath(all.paths[i], all.paths[later])) file.overwrittenBy = Utf16ToUtf8(scan.entries[later]);
    }
    plan->files.push_back(file);
  }
  for (const LanguageItem& item : scan.items) {
    Run cleared;
    RunDecisions(scan, destination, summary.mainProgramName, item.code, &cleared);
    std::vector<std::string> dropped;
    for (size_t i = 0; i < scan.entries.size(); ++i) {
      if (!all.paths[i].empty() && cleared.paths[i].empty()) dropped.push_back(Utf16ToUtf8(all.paths[i]));
    }
    plan->languages.push_back({item, dropped});
  }

  const InstallState& state = all.state;
  char16_t record[kPathUnits];
  JoinInstalledPath(state.destination, kRecordFileName, record, kPathUnits);
  plan->record = Utf16ToUtf8(record);
  plan->mainProgram = Utf16ToUtf8(state.mainProgram);
  plan->uninstaller = Utf16ToUtf8(state.uninstaller);
  char16_t name[kFileNameUnits], code[4];
  NarrowToWide(scan.productName, name, kFileNameUnits);
  NarrowToWide(summary.productCode, code, 4);
  InstallRecordSteps steps;
  DecideInstallRecord(&state, name, code, &steps);
  if (!plan->error.empty()) return;  // a failed install records nothing
  if (steps.storeDestination) {
    plan->values.push_back({"HKCU", Utf16ToUtf8(kStoredDestinationKey), Utf16ToUtf8(code), plan->destination});
  }
  if (steps.uninstallEntry) {
    UninstallValue values[kUninstallValueMax];
    char16_t version[kFileNameUnits];
    NarrowToWide(scan.productVersion, version, kFileNameUnits);
    UninstallFacts facts = {name, version, false};
    int count = UninstallEntryValues(&state, &facts, values);
    const std::string key = Utf16ToUtf8(kUninstallKeyBase) + Utf16ToUtf8(name);
    for (int i = 0; i < count; ++i) {
      const UninstallValue& value = values[i];
      plan->values.push_back({"HKLM", key, Utf16ToUtf8(value.name),
                              value.isNumber ? std::to_string(value.number) : Utf16ToUtf8(value.text)});
    }
  }
  char16_t program[kPathUnits], uninstaller[kPathUnits], folder[kPathUnits];
  JoinInstalledPath(state.destination, state.mainProgram, program, kPathUnits);
  JoinInstalledPath(state.destination, state.uninstaller, uninstaller, kPathUnits);
  const std::string group = Utf16ToUtf8(name) + "\\", link = Utf16ToUtf8(name) + ".lnk";
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

void PrintText(const Plan& plan, std::ostream& out) {
  out << "Dialog\n  caption:      " << Printable(plan.caption) << "\n  title line:   " << Printable(plan.title)
      << "\n  product name: " << (plan.productName.empty() ? "(none: no uninstall entry, group or shortcuts)"
                                                           : Printable(plan.productName))
      << "\n  destination:  " << Printable(plan.destination) << (plan.proposed ? "  (proposed on a first run)" : "")
      << "\n\nLanguages (a cleared box drops)\n";
  for (const auto& language : plan.languages) {
    out << "  " << Code(language.first.code) << " " << Printable(Utf16ToUtf8(language.first.text)) << ":";
    if (language.second.empty()) out << " nothing";
    for (const std::string& path : language.second) out << " " << Printable(path);
    out << "\n";
  }
  out << "\nFiles\n";
  for (const PlannedFile& file : plan.files) {
    out << "  " << Printable(file.installed) << "  <- " << Printable(file.stored);
    if (!file.language.empty()) out << "  [" << file.language << "]";
    if (!file.overwrittenBy.empty()) out << "  (overwritten by " << Printable(file.overwrittenBy) << ")";
    out << "\n";
  }
  if (!plan.error.empty()) out << "\nInstall fails: " << plan.error << "\n";
  out << "\nMain program: " << (plan.mainProgram.empty() ? "(none)" : Printable(plan.mainProgram))
      << "\nUninstaller:  " << (plan.uninstaller.empty() ? "(none)" : Printable(plan.uninstaller))
      << "\nRecord:       " << Printable(plan.record) << "  (the files every install wrote here, for the uninstaller)"
      << "\n\nRegistry values\n";
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

void PrintJson(const Plan& plan, std::ostream& out) {
  out << "{\n  \"format\": 1,\n  \"caption\": " << JsonString(plan.caption) << ",\n  \"title\": "
      << JsonString(plan.title) << ",\n  \"productName\": " << JsonString(plan.productName)
      << ",\n  \"productCode\": " << JsonString(plan.productCode) << ",\n  \"destination\": "
      << JsonString(plan.destination) << ",\n  \"proposed\": " << (plan.proposed ? "true" : "false")
      << ",\n  \"mainProgram\": " << JsonString(plan.mainProgram) << ",\n  \"uninstaller\": "
      << JsonString(plan.uninstaller) << ",\n  \"record\": " << JsonString(plan.record) << ",\n  \"error\": " << JsonString(plan.error) << ",\n  \"languages\": [";
  // One object a line, so that a line-oriented reader (the end-to-end test) needs no JSON parser.
  const char* separator = "\n    ";
  for (const auto& language : plan.languages) {
    out << separator << "{\"code\": " << JsonString(Code(language.first.code))
        << ", \"item\": " << JsonString(Utf16ToUtf8(language.first.text)) << ", \"drops\": [";
    for (size_t i = 0; i < language.second.size(); ++i) out << (i ? ", " : "") << JsonString(language.second[i]);
    out << "]}";
    separator = ",\n    ";
  }
  out << "\n  ],\n  \"files\": [";
  separator = "\n    ";
  for (const PlannedFile& file : plan.files) {
    out << separator << "{\"stored\": " << JsonString(file.stored) << ", \"installed\": " << JsonString(file.installed)
        << ", \"language\": " << JsonString(file.language) << ", \"overwrittenBy\": " << JsonString(file.overwrittenBy)
        << "}";
    separator = ",\n    ";
  }
  out << "\n  ],\n  \"registry\": [";
  separator = "\n    ";
  for (const PlannedValue& value : plan.values) {
    out << separator << "{\"root\": " << JsonString(value.root) << ", \"key\": " << JsonString(value.key)
        << ", \"value\": " << JsonString(value.value) << ", \"data\": " << JsonString(value.data) << "}";
    separator = ",\n    ";
  }
  out << "\n  ],\n  \"shortcuts\": [";
  separator = "\n    ";
  for (const PlannedLink& link : plan.links) {
    out << separator << "{\"folder\": " << JsonString(link.folder) << ", \"link\": " << JsonString(link.link)
        << ", \"target\": " << JsonString(link.target) << ", \"workingDirectory\": "
        << JsonString(link.workingDirectory) << "}";
    separator = ",\n    ";
  }
  out << "\n  ]\n}\n";
}

}  // namespace

int PlanInstallation(const fs::path& installer, const PlanRequest& request, std::ostream& out, std::string* problem) {
  Scan scan{};
  scan.table = FindStringTable(request.interfaceLanguage.c_str());
  scan.caption = Text(scan.table, kTextDialogTitle);
  // The list starts with the two built-in items, before the scan adds the product's.
  char16_t text[31];
  LookupString(scan.table, kTextLanguageEnglish, text, 31);
  scan.items.push_back({LanguageCode4FromNarrow("US"), text});
  LookupString(scan.table, kTextLanguageGerman, text, 31);
  scan.items.push_back({LanguageCode4FromNarrow("DE"), text});
  ArchivePassSummary summary;
  int exitCode = InspectReadingPass(installer, ScanHandler, &scan, &summary, problem);
  if (exitCode != kExitSuccess) return exitCode;
  if (scan.outOfMemory) throw std::bad_alloc();

  Plan plan{};
  plan.caption = scan.caption;
  plan.title = scan.title;
  plan.productName = ansi::ToUtf8(scan.productName);
  plan.productCode = ansi::ToUtf8(summary.productCode);
  std::u16string destination = Utf8ToUtf16(request.destination);
  plan.proposed = request.destination.empty();
  if (plan.proposed) {
    // A plain system: Program Files beside C:\Windows, no folder stored by an earlier run.
    char16_t folder[kPathUnits] = u"C:\\Windows";
    ProgramFilesBesideWindows(folder, kPathUnits);
    ProposeDestination(folder, kPathUnits, scan.productName);
    destination = folder;
  } else if (destination.size() > kDestinationLimit) {
    *problem = "--dest: longer than the installer's destination field (" + std::to_string(kDestinationLimit) +
               " characters)";
    return kExitFailure;
  }
  plan.destination = Utf16ToUtf8(destination);
  // The dialog's list shows its items sorted by their text.
  std::stable_sort(scan.items.begin(), scan.items.end(), [](const LanguageItem& a, const LanguageItem& b) {
    std::u16string x = a.text, y = b.text;
    for (char16_t& c : x) c = FoldAscii(c);
    for (char16_t& c : y) c = FoldAscii(c);
    return x < y;
  });
  Decide(scan, summary, destination, &plan);
  if (request.json) {
    PrintJson(plan, out);
  } else {
    PrintText(plan, out);
  }
  return kExitSuccess;
}
