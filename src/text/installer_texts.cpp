// The installer's own texts in the three tables, apart from the lookup code:
// the uninstaller, which has tables of its own, then links none of these bytes.
#include "text/string_tables.h"

namespace {

// The texts are Windows-1252 bytes: \xE4 is "ä", \xE8 is "è".
const StringRow kRowsGerman[] = {
    {kTextDialogTitle, "Installation"},
    {kTextInstall, "&OK"},
    {kTextCancel, "Abbruch"},
    {kTextLanguageColumn, "Sprache"},
    {kTextDestinationLabel, "Zielpfad:"},
    {kTextStartMenuEntry, "Programmgruppe erstellen"},
    {kTextDesktopIcon, "Desktop-Symbol anlegen"},
    {kTextQuickLaunchIcon, "Symbol in der Schnellstartleiste anlegen"},
    {kTextLanguageEnglish, "Englisch"},
    {kTextLanguageGerman, "Deutsch"},
    {kTextBrokenFile, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {kTextInstalled, " wurde erfolgreich installiert."},
    {kTextMenuCheckAll, "Alles &markieren"},
    {kTextMenuUncheckAll, "Markierung &aufheben"},
    {kTextMenuInvert, "Markierung &umkehren"},
    {kTextFolderNotFull, "Der Zielpfad muss vollst\xE4ndig sein, etwa C:\\Programme\\Produkt oder \\\\Server\\Freigabe\\Produkt."},
    {kTextUsage, "Schalter der Installation:\n\n/S\\tohne Fenster installieren\n/D=Ordner\\tder Zielpfad (als letzter Schalter)\n"
                 "/LOG=Datei\\tein Protokoll der Installation schreiben\n"
                 "/SHORTCUTS=Liste\\tstartmenu,desktop,quicklaunch oder none\n/?\\tdiese Hilfe anzeigen"},
    {kTextBadSwitch, "Dieser Teil der Befehlszeile ist unbekannt: "},
    {kTextDowngrade, "Version %1 von %2 ist installiert. Die \xE4ltere Version %3 installieren?"},
    {0, nullptr},
};

const StringRow kRowsItalian[] = {
    {kTextDialogTitle, "Installazione"},
    {kTextInstall, "&OK"},
    {kTextCancel, "Annulla"},
    {kTextLanguageColumn, "Lingua"},
    {kTextDestinationLabel, "Destinazione"},
    {kTextStartMenuEntry, "Aggiungi collegamento nel menu Programmi"},
    {kTextDesktopIcon, "Aggiungi collegamento sul desktop"},
    {kTextQuickLaunchIcon, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {kTextLanguageEnglish, "English"},
    {kTextLanguageGerman, "German"},
    {kTextBrokenFile, "File danneggiato, esegui di nuovo il download."},
    {kTextInstalled, " \xE8 stato installato correttamente."},
    {kTextMenuCheckAll, "Seleziona tutto"},
    {kTextMenuUncheckAll, "Deseleziona tutto"},
    {kTextMenuInvert, "Inverti selezione"},
    {kTextFolderNotFull, "La destinazione deve essere un percorso completo, ad esempio C:\\Programmi\\Prodotto o \\\\server\\condivisione\\Prodotto."},
    {kTextUsage, "Opzioni dell'installazione:\n\n/S\\tinstalla senza alcuna finestra\n"
                 "/D=cartella\\tla cartella di destinazione (ultima opzione)\n/LOG=file\\tscrive un registro dell'installazione\n"
                 "/SHORTCUTS=elenco\\tstartmenu,desktop,quicklaunch o none\n/?\\tmostra questo aiuto"},
    {kTextBadSwitch, "Questa parte della riga di comando non \xE8 riconosciuta: "},
    {kTextDowngrade, "La versione %1 di %2 \xE8 installata. Installare la versione precedente %3?"},
    {0, nullptr},
};

const StringRow kRowsEnglish[] = {
    {kTextDialogTitle, "Setup"},
    {kTextInstall, "&OK"},
    {kTextCancel, "Cancel"},
    {kTextLanguageColumn, "Language"},
    {kTextDestinationLabel, "Destination folder"},
    {kTextStartMenuEntry, "Put entry to Start Menu"},
    {kTextDesktopIcon, "Create a Desktop icon"},
    {kTextQuickLaunchIcon, "Create a Quick Launch icon"},
    {kTextLanguageEnglish, "English"},
    {kTextLanguageGerman, "German"},
    {kTextBrokenFile, "Broken file, please download again."},
    {kTextInstalled, " has been successfully installed."},
    {kTextMenuCheckAll, "Select &all"},
    {kTextMenuUncheckAll, "&Deselect all"},
    {kTextMenuInvert, "&Invert selection"},
    {kTextFolderNotFull, "The destination folder must be a full path, such as C:\\Program Files\\Product or \\\\server\\share\\Product."},
    {kTextUsage, "Setup switches:\n\n/S\\tinstall without any window\n/D=folder\\tthe destination folder (the last switch)\n"
                 "/LOG=file\\twrite a log of the installation\n/SHORTCUTS=list\\tstartmenu,desktop,quicklaunch or none\n"
                 "/?\\tshow this help"},
    {kTextBadSwitch, "This part of the command line was not understood: "},
    {kTextDowngrade, "Version %1 of %2 is installed. Install the older version %3?"},
    {0, nullptr},
};

}  // namespace

const StringTable kStringTableEnglish = {"US", kRowsEnglish};
const StringTable kStringTableGerman = {"DE", kRowsGerman};
const StringTable kStringTableItalian = {"IT", kRowsItalian};

const StringTable* const kStringTables[] = {&kStringTableEnglish, &kStringTableGerman, &kStringTableItalian, nullptr};

const int16_t kDialogTextIds[] = {kTextDialogTitle,      kTextInstall,     kTextCancel,          kTextDestinationLabel,
                                  kTextStartMenuEntry,   kTextDesktopIcon, kTextQuickLaunchIcon, 0};

