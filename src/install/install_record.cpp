#include "install/install_record.h"

#include "text/bounded_text.h"

#if !defined(SETUP_MAKER_KEY) || !defined(SETUP_PUBLISHER) || !defined(SETUP_URL_INFO_ABOUT) || \
    !defined(SETUP_STUB_VERSION)
#error "SETUP_MAKER_KEY, SETUP_PUBLISHER and SETUP_URL_INFO_ABOUT (the maker's identity) come from cmake/maker-identity.cmake"
#endif

const char16_t kPublisher[] = u"" SETUP_PUBLISHER;
const char16_t kPublisherAddress[] = u"" SETUP_URL_INFO_ABOUT;
const char16_t kStoredDestinationKey[] = u"" SETUP_MAKER_KEY;
const char16_t kUninstallKeyBase[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kUninstallLinkName[] = u"Uninstall";
const char16_t kInstallerVersion[] = u"" SETUP_STUB_VERSION;

void AdoptProductName(const char* descriptionName, char* productName, int capacity) {
  if (productName == nullptr || capacity <= 0 || productName[0] != 0) return;
  AppendNarrow(descriptionName, productName, capacity);
  char16_t name[kPathUnits];
  NarrowToWide(productName, name, capacity < kPathUnits ? capacity : kPathUnits);
  if (!IsUsableProductName(name)) productName[0] = 0;
}

void DecideInstallRecord(const InstallState* state, const char16_t* productName, const char16_t* productCode,
                         InstallRecordSteps* steps) {
  *steps = InstallRecordSteps{};
  bool named = productName != nullptr && productName[0] != 0;
  steps->storeDestination = productCode != nullptr && productCode[0] != 0 && state->destination[0] != 0;
  steps->uninstallEntry = named && state->uninstaller[0] != 0;
  steps->programGroup = named && state->mainProgram[0] != 0;
  steps->uninstallLink = steps->programGroup && state->uninstaller[0] != 0;
  steps->shortcuts = steps->programGroup;
}

namespace {
const char16_t kDisplayVersionValue[] = u"DisplayVersion";
}  // namespace

const char16_t* const kUninstallOptionalValues[] = {u"QuietUninstallString", kDisplayVersionValue, nullptr};

namespace {

UninstallValue* AddText(UninstallValue* value, const char16_t* name) {
  value->name = name;
  value->isNumber = false;
  value->number = 0;
  value->text[0] = 0;
  return value;
}

void AddNumber(UninstallValue* value, const char16_t* name, uint32_t number) {
  AddText(value, name)->isNumber = true;
  value->number = number;
}

// "folder\file" in quotes, so a path with spaces stays one word of the command.
void QuotedPath(const InstallState* state, char16_t* out) {
  char16_t path[kPathUnits];
  JoinInstalledPath(state->destination, state->uninstaller, path, kPathUnits);
  out[0] = 0;
  if (path[0] == 0) return;
  SetWide(u"\"", out, kPathUnits);
  if (AppendWide(path, out, kPathUnits) != 0 || AppendWide(u"\"", out, kPathUnits) != 0) out[0] = 0;
}

}  // namespace

int UninstallEntryValues(const InstallState* state, const UninstallFacts* facts,
                         UninstallValue values[kUninstallValueMax]) {
  int n = 0;
  SetWide(facts->productName, AddText(&values[n++], u"DisplayName")->text, kPathUnits);
  QuotedPath(state, AddText(&values[n++], u"UninstallString")->text);
  if (facts->quietUninstall && values[1].text[0] != 0) {
    SetWide(values[1].text, AddText(&values[n++], u"QuietUninstallString")->text, kPathUnits);
    if (AppendWide(u" /S", values[n - 1].text, kPathUnits) != 0) --n;
  }
  JoinInstalledPath(state->destination, state->mainProgram, AddText(&values[n++], u"DisplayIcon")->text, kPathUnits);
  if (facts->version != nullptr && facts->version[0] != 0) {
    SetWide(facts->version, AddText(&values[n++], kDisplayVersionValue)->text, kPathUnits);
  }
  SetWide(kPublisher, AddText(&values[n++], u"Publisher")->text, kPathUnits);
  SetWide(kPublisherAddress, AddText(&values[n++], u"URLInfoAbout")->text, kPathUnits);
  SetWide(state->destination, AddText(&values[n++], u"InstallLocation")->text, kPathUnits);
  uint64_t kib = (state->bytesWritten + 1023) / 1024;
  AddNumber(&values[n++], u"EstimatedSize", kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kib));
  AddNumber(&values[n++], u"NoModify", 1);
  AddNumber(&values[n++], u"NoRepair", 1);
  return n;
}

void ProposeDestination(char16_t* programFiles, int capacity, const char* productName) {
  if (programFiles == nullptr || capacity <= 0 || programFiles[0] == 0) return;
  EnsureTrailingSeparator(programFiles, capacity);
  AppendNarrowToWide(productName, programFiles, capacity);
}

void JoinInstalledPath(const char16_t* folder, const char16_t* file, char16_t* out, int capacity) {
  if (out == nullptr || capacity <= 0) return;
  out[0] = 0;
  if (file == nullptr || file[0] == 0) return;
  if (SetWide(folder, out, capacity) != 0 || AppendPathComponent(file, out, capacity) != 0) out[0] = 0;
}
