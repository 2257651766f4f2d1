// The settings dialog's control ids, shared by the resource script, the program and the tests.
// Plain #define lines only: windres and the Linux reader of the script read this file too.
#pragma once

#define IDC_GRAPHIC_GROUP 101
#define IDC_SHOW_FRAME 102
#define IDC_PARAMETER_GROUP 103
#define IDC_FILE_NAME 104
#define IDC_START_WITH_FILE 105
#define IDC_BROWSE 106
#define IDC_START_RANDOM 107
#define IDC_REINIT_MINUTES 109
#define IDC_SPEED_GROUP 115
// Slow, medium, fast in a row: the speed's button is IDC_SLOW + speed.
#define IDC_SLOW 121
#define IDC_MEDIUM 122
#define IDC_FAST 123
