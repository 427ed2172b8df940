// Numbers of the program's own resources and commands. Shared by the resource script and the
// C++ code; windres reads it too, so it holds preprocessor definitions only.
#pragma once

// Resources addressed by number.
#define IDR_MAINFRAME        128 // menu, accelerators, icon 128 and the document string
#define IDI_DOCUMENT         129 // second icon, not referred to by the program
#define IDB_ARROWS           130 // drop-down arrow strip, normal and highlighted
#define IDB_DIGITS           133 // digit display strip, 12 cells
#define IDD_ABOUTBOX         100
#define IDD_INSTRUMENT_FORM  101
#define IDD_DEVICE_SETTINGS  131 // the settings dialog (its own subsystem fills it)

// Commands of the menu that are the program's own.
#define ID_OPTIONS           32771 // handled by the view
#define ID_SELECT_PATCH      32772 // no handler anywhere: always disabled
#define ID_KEYBOARD_NOTES    32773 // handled by the view: the computer keyboard plays notes
#define ID_ALL_NOTES_OFF     32774 // handled by the view
#define ID_ASIO_PANEL        32775 // handled by the view: the driver's own settings

// Standard commands; the numbers match the common desktop toolkits' conventions.
#define ID_FILE_NEW          0xE100 // 57600
#define ID_FILE_OPEN         0xE101
#define ID_FILE_CLOSE        0xE102
#define ID_FILE_SAVE         0xE103
#define ID_FILE_SAVE_AS      0xE104
#define ID_FILE_MRU_FIRST    0xE110 // 57616..57631, sixteen recent-file slots
#define ID_EDIT_CLEAR        0xE120 // 57632..57644, the edit commands
#define ID_EDIT_CLEAR_ALL    0xE121
#define ID_EDIT_COPY         0xE122
#define ID_EDIT_CUT          0xE123
#define ID_EDIT_FIND         0xE124
#define ID_EDIT_PASTE        0xE125
#define ID_EDIT_PASTE_LINK   0xE126
#define ID_EDIT_PASTE_SPECIAL 0xE127
#define ID_EDIT_REPEAT       0xE128
#define ID_EDIT_REPLACE      0xE129
#define ID_EDIT_SELECT_ALL   0xE12A
#define ID_EDIT_UNDO         0xE12B
#define ID_EDIT_REDO         0xE12C
#define ID_WINDOW_SPLIT      0xE135 // 57653
#define ID_APP_ABOUT         0xE140 // 57664
#define ID_APP_EXIT          0xE141 // 57665
#define ID_NEXT_PANE         0xE150 // 57680
#define ID_PREV_PANE         0xE151 // 57681

// Strings of the string table used by the toolkit.
#define IDS_APP_TITLE        0xE000 // 57344
#define IDS_IDLE_MESSAGE     0xE001 // 57345 "Ready"
#define IDS_INDICATOR_EXT    0xE700 // 59136..59141 keyboard indicators
#define IDS_INDICATOR_CAPS   0xE701
#define IDS_INDICATOR_NUM    0xE702
#define IDS_INDICATOR_SCRL   0xE703
#define IDS_INDICATOR_OVR    0xE704
#define IDS_INDICATOR_REC    0xE705

// Child window identifiers inside the main frame.
#define IDW_STATUS_BAR       0xE801 // 59393
#define IDW_PANE_FIRST       0xE900 // the view

// Static lines of the About box.
#define IDC_ABOUT_LINE1      1000 // at (40, 38)
#define IDC_ABOUT_LINE2      1001 // at (40, 51)
#define IDC_ABOUT_LINE3      1002 // at (61, 71)

// Controls of the settings dialog: the labels of template 131, and the owner-drawn controls the
// dialog creates at initialisation.
#define IDC_DRIVER_LABEL     1000
#define IDC_RATE_LABEL       1001
#define IDC_MIDI_LABEL       1002
#define IDC_TEMPO_LABEL      1003
#define IDC_DRIVER_SELECTOR  800
#define IDC_MIDI_SELECTOR    801
#define IDC_RATE_SELECTOR    802
#define IDC_TEMPO_DISPLAY    803

#ifndef IDC_STATIC
#define IDC_STATIC           (-1) // static controls nobody addresses
#endif
