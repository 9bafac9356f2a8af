// Resource and control ids of the setup dialog, the one list that
// resources/setup.rc, the code and the tests share. The resource compiler
// reads only the macros; the code uses the typed constants below them.
#pragma once

#define SETUP_ICON_PROGRAM 1
#define SETUP_DIALOG 1000
#define SETUP_ID_INSTALL 99
#define SETUP_ID_CANCEL 2
#define SETUP_ID_TITLE_LINE 1001
#define SETUP_ID_LANGUAGE_LIST 1010
#define SETUP_ID_DESTINATION_LABEL 1031
#define SETUP_ID_DESTINATION 1032
#define SETUP_ID_BROWSE 1033
#define SETUP_ID_START_MENU_BOX 1041
#define SETUP_ID_DESKTOP_BOX 1042
#define SETUP_ID_QUICK_LAUNCH_BOX 1043
#define SETUP_ID_STATUS_LINE 1047

#ifndef RC_INVOKED
const int kProgramIconId = SETUP_ICON_PROGRAM;
const int kSetupDialogId = SETUP_DIALOG;
const int kInstallButtonId = SETUP_ID_INSTALL;
const int kCancelButtonId = SETUP_ID_CANCEL;
const int kTitleLineId = SETUP_ID_TITLE_LINE;
const int kLanguageListId = SETUP_ID_LANGUAGE_LIST;
const int kDestinationLabelId = SETUP_ID_DESTINATION_LABEL;
const int kDestinationEditId = SETUP_ID_DESTINATION;
const int kBrowseButtonId = SETUP_ID_BROWSE;
const int kStartMenuBoxId = SETUP_ID_START_MENU_BOX;
const int kDesktopBoxId = SETUP_ID_DESKTOP_BOX;
const int kQuickLaunchBoxId = SETUP_ID_QUICK_LAUNCH_BOX;
const int kStatusLineId = SETUP_ID_STATUS_LINE;
#endif
