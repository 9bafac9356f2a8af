// Control ids of the setup dialog's template that more than one module touches
// (the language list and the title line are in language_list.h and scan_handler.h).
#pragma once

const int kInstallButtonId = 99;
const int kCancelButtonId = 2;
const int kDestinationEditId = 1032;
const int kBrowseButtonId = 1033;
const int kStartMenuBoxId = 1041;
const int kDesktopBoxId = 1042;
const int kQuickLaunchBoxId = 1043;
const int kStatusLineId = 1047;
