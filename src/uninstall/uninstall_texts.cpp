#include "uninstall/uninstall_texts.h"

#include "text/bounded_text.h"

namespace {

// Windows-1252 bytes: \xE4 is "ä", \xF6 "ö", \xE8 "è".
const StringRow kRowsEnglish[] = {
    {kTextUninstallCaption, "Uninstall"},
    {kTextUninstallConfirm, "Do you want to remove %s and all of its files from this computer?"},
    {kTextUninstallDone, "%s has been removed from this computer."},
    {kTextUninstallFolderKept, "The folder %s stays: it holds files that were not installed."},
    {kTextUninstallAtRestart, "These files are in use and will be deleted when Windows restarts:"},
    {kTextUninstallNotDeleted, "These files could not be deleted:"},
    {kTextUninstallDamaged, "This uninstaller is damaged. Nothing has been removed."},
    {kTextUninstallNoRecord,
     "The list of files earlier versions installed is missing or damaged: files of those versions may remain."},
    {0, nullptr},
};

const StringRow kRowsGerman[] = {
    {kTextUninstallCaption, "Deinstallation"},
    {kTextUninstallConfirm,
     "M\xF6"
     "chten Sie %s und alle zugeh\xF6rigen Dateien von diesem Computer entfernen?"},
    {kTextUninstallDone, "%s wurde von diesem Computer entfernt."},
    {kTextUninstallFolderKept, "Der Ordner %s bleibt erhalten: er enth\xE4lt Dateien, die nicht installiert wurden."},
    {kTextUninstallAtRestart,
     "Diese Dateien werden verwendet und beim n\xE4"
     "chsten Neustart gel\xF6scht:"},
    {kTextUninstallNotDeleted, "Diese Dateien konnten nicht gel\xF6scht werden:"},
    {kTextUninstallDamaged,
     "Dieses Deinstallationsprogramm ist besch\xE4"
     "digt. Es wurde nichts entfernt."},
    {kTextUninstallNoRecord,
     "Die Liste der von fr\xFCheren Versionen installierten Dateien fehlt oder ist besch\xE4"
     "digt: Dateien dieser Versionen bleiben vielleicht erhalten."},
    {0, nullptr},
};

const StringRow kRowsItalian[] = {
    {kTextUninstallCaption, "Disinstallazione"},
    {kTextUninstallConfirm, "Rimuovere %s e tutti i suoi file da questo computer?"},
    {kTextUninstallDone, "%s \xE8 stato rimosso da questo computer."},
    {kTextUninstallFolderKept, "La cartella %s rimane: contiene file che non sono stati installati."},
    {kTextUninstallAtRestart, "Questi file sono in uso e verranno eliminati al riavvio di Windows:"},
    {kTextUninstallNotDeleted, "Non \xE8 stato possibile eliminare questi file:"},
    {kTextUninstallDamaged, "Questo programma di disinstallazione \xE8 danneggiato. Non \xE8 stato rimosso nulla."},
    {kTextUninstallNoRecord,
     "L'elenco dei file installati dalle versioni precedenti manca o \xE8 danneggiato: alcuni file potrebbero rimanere."},
    {0, nullptr},
};

const StringTable kTables[] = {{"US", kRowsEnglish}, {"DE", kRowsGerman}, {"IT", kRowsItalian}};

}  // namespace

const StringTable* UninstallStringTableFor(const char* code) {
  if (code == nullptr) return &kTables[0];
  for (const StringTable& table : kTables) {
    if (table.languageCode[0] == code[0] && table.languageCode[1] == code[1]) return &table;
  }
  return &kTables[0];
}

void ComposeText(const StringTable* table, int16_t id, const char16_t* insert, char16_t* out, int capacity) {
  if (out == nullptr || capacity <= 0) return;
  char16_t text[512];
  LookupString(table, id, text, 512);
  out[0] = 0;
  char16_t* mark = FindText(text, u"%s");
  if (mark != nullptr) *mark = 0;
  AppendWide(text, out, capacity);
  if (mark == nullptr) return;
  AppendWide(insert, out, capacity);
  AppendWide(mark + 2, out, capacity);
}
