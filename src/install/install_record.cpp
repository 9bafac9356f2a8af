#include "install/install_record.h"

#include "text/bounded_text.h"

#if !defined(SETUP_MAKER_KEY) || !defined(SETUP_PUBLISHER) || !defined(SETUP_URL_INFO_ABOUT)
#error "SETUP_MAKER_KEY, SETUP_PUBLISHER and SETUP_URL_INFO_ABOUT (the maker's identity) come from cmake/maker-identity.cmake"
#endif

const char16_t kPublisher[] = u"" SETUP_PUBLISHER;
const char16_t kPublisherAddress[] = u"" SETUP_URL_INFO_ABOUT;
const char16_t kStoredDestinationKey[] = u"" SETUP_MAKER_KEY;
const char16_t kUninstallKeyBase[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kUninstallLinkName[] = u"Uninstall";

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

void UninstallEntryValues(const InstallState* state, const char16_t* productName,
                          UninstallValue values[kUninstallValueCount]) {
  const char16_t* names[kUninstallValueCount] = {u"DisplayName", u"UninstallString", u"DisplayIcon", u"Publisher",
                                                 u"URLInfoAbout"};
  for (int i = 0; i < kUninstallValueCount; ++i) {
    values[i].name = names[i];
    values[i].text[0] = 0;
  }
  SetWide(productName, values[0].text, kPathUnits);
  JoinInstalledPath(state->destination, state->uninstaller, values[1].text, kPathUnits);
  JoinInstalledPath(state->destination, state->mainProgram, values[2].text, kPathUnits);
  SetWide(kPublisher, values[3].text, kPathUnits);
  SetWide(kPublisherAddress, values[4].text, kPathUnits);
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
