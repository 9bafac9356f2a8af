#include "setupkit/install_simulation.h"

#include <stdint.h>

#include "archive/entry_parser.h"
#include "text/bounded_text.h"

void StartSimulatedInstall(const std::u16string& destination, const std::string& mainProgram, InstallState* state) {
  *state = InstallState{};
  CopyWide(destination.c_str(), state->destination, kPathUnits);
  NarrowToWide(mainProgram.c_str(), state->mainProgram, kNameFieldUnits);
  if (!IsUsableMainProgramName(state->mainProgram)) state->mainProgram[0] = 0;
}

std::u16string SimulateEntry(const std::u16string& stored, const char16_t* languageFileBase,
                             LanguageCheckQuery checkOf, void* queryContext, InstallState* state) {
  char16_t name[kPathUnits];
  CopyWide(stored.c_str(), name, kPathUnits);
  return DecideInstallEntry(name, languageFileBase, checkOf, queryContext, state) == kInstallWrite ? name : u"";
}

void SimulateInstall(const std::vector<std::u16string>& entries, const std::u16string& destination,
                     const std::string& mainProgram, const char16_t* languageFileBase, LanguageCheckQuery checkOf,
                     void* queryContext, SimulatedInstall* install) {
  install->paths.clear();
  install->mainProgramEntry = SIZE_MAX;
  InstallState& state = install->state;
  StartSimulatedInstall(destination, mainProgram, &state);
  for (size_t i = 0; i < entries.size(); ++i) {
    const bool known = state.mainProgram[0] != 0;
    install->paths.push_back(SimulateEntry(entries[i], languageFileBase, checkOf, queryContext, &state));
    if (!known && state.mainProgram[0] != 0) install->mainProgramEntry = i;
  }
}

void SimulateProductInstall(const std::vector<ProductFile>& files, const std::string& mainProgram,
                            SimulatedInstall* install) {
  std::vector<std::u16string> entries;
  for (const ProductFile& file : files) {
    char16_t wide[kEntryNameUnits];
    NarrowToWide(file.name.c_str(), wide, kEntryNameUnits);
    entries.push_back(wide);
  }
  SimulateInstall(entries, u"C:\\P", mainProgram, u"", nullptr, nullptr, install);
}
