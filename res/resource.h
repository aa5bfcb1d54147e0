#pragma once

// Every resource, command and control id of the program. Also included by the
// resource script, so plain #defines only.

// Dialog templates
#define IDD_LESSON 2000
#define IDD_RESULT 2001
#define IDD_VERSION 2002

// Icon groups
#define IDI_PROGRAM 3000
#define IDI_CORRECT 3001
#define IDI_WRONG 3002

// Menu of the lesson dialog
#define IDR_LESSON_MENU 3100

// Toolbar bitmaps (there is no 3202)
#define IDB_LISTEN 3200
#define IDB_DERIVED 3201
#define IDB_SHOWANSWER 3203

// Menu commands; the same numbers are the ids of their help texts
#define IDM_VERSION 55530
#define IDM_CONTENTS 55531
#define IDM_RESET 55532
#define IDM_DERIVED 55533
#define IDM_EXIT 55534
#define IDM_LISTEN 55535
#define IDM_SHOWANSWER 55536
#define IDM_DETAILS 55537

// Controls of the lesson dialog: note buttons
#define IDC_NOTE_CS 103
#define IDC_NOTE_C 104
#define IDC_NOTE_D 105
#define IDC_NOTE_E 106
#define IDC_NOTE_F 107
#define IDC_NOTE_G 108
#define IDC_NOTE_A 109
#define IDC_NOTE_B 110
#define IDC_NOTE_DS 111
#define IDC_NOTE_FS 112
#define IDC_NOTE_GS 113
#define IDC_NOTE_AS 114

#define IDC_STATUSBAR 115
#define IDC_TOOLBAR_PLACEHOLDER 116
#define IDC_TOOLBAR 117

// Controls of the result and details window
#define IDC_RESULT_TEXT 118
#define IDC_MARK_CORRECT 119
#define IDC_MARK_WRONG 120

#define IDC_STATIC_NONE 65535
