#include "setupkit/install_simulation.h"

#include <stdint.h>

#include "archive/entry_parser.h"
#include "text/bounded_text.h"

void SimulateInstall(const std::vector<std::u16string>& entries, const std::u16string& destination,
                     const std::string& mainProgram, const char16_t* languageFileBase, LanguageCheckQuery checkOf,
                     void* queryContext, SimulatedInstall* install) {
  install->state = InstallState{};
  install->paths.clear();
  install->mainProgramEntry = SIZE_MAX;
  InstallState& state = install->state;
  CopyWide(destination.c_str(), state.destination, kPathUnits);
  NarrowToWide(mainProgram.c_str(), state.mainProgram, kNameFieldUnits);
  if (!IsUsableMainProgramName(state.mainProgram)) state.mainProgram[0] = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    char16_t name[kPathUnits];
    CopyWide(entries[i].c_str(), name, kPathUnits);
    const bool known = state.mainProgram[0] != 0;
    const bool written = DecideInstallEntry(name, languageFileBase, checkOf, queryContext, &state) == kInstallWrite;
    install->paths.push_back(written ? name : u"");
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
