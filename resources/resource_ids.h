/* Resource and command identifiers shared by the .rc file and the program. */
#pragma once

#define VORLIN_STR_TITLE 103
#define VORLIN_STR_CLASS 109
#define VORLIN_MENU 109
#define VORLIN_ACCELERATORS 109
#define VORLIN_ICON_LARGE 107
#define VORLIN_ICON_SMALL 108

#define VORLIN_CMD_ABOUT 104
#define VORLIN_CMD_EXIT 105
#define VORLIN_CMD_COPY 32773
#define VORLIN_CMD_PASTE 32775
#define VORLIN_CMD_UNDO 32780
#define VORLIN_CMD_REDO 32781
#define VORLIN_CMD_OPEN_SCENE 32782
#define VORLIN_CMD_SAVE_SCENE 32783
