// The ids of the executable's icon, dialogs and dialog controls: read by the resource
// compiler for korvana.rc and by the C++ (resources/text_ids.h gives them typed names),
// so each number is written here and nowhere else. Plain #defines, as the resource
// compiler understands nothing else. The catalogue's text ids live beside their texts,
// in messages.inc.
#pragma once

// The program icon, also shown by both dialogs.
#define IDI_KORVANA 100

// CSP mode's configuration dialog. The controls from IDC_RUSSIAN to IDC_WELCOME_TEXT
// are the two panels and must stay one unbroken run of numbers: the dialog swaps the
// panels by walking it.
#define IDD_CONFIGURATION 141
#define IDC_NEXT 140
#define IDC_RUSSIAN 1006
#define IDC_ENGLISH 1007
#define IDC_KC1 1008
#define IDC_KC2 1009
#define IDC_KC3 1010
#define IDC_WELCOME_GROUP 1011
#define IDC_LANGUAGE_GROUP 1012
#define IDC_KC_GROUP 1013
#define IDC_WELCOME_TEXT 1014
#define IDC_OPTIONS 1015

// The completion dialog.
#define IDD_COMPLETION 40110
#define IDC_RESTART_BOX 41027
#define IDC_COMPLETION_MESSAGE 41028
#define IDC_BROWSER_BOX 41029
