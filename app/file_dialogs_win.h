// The system's open and save dialogs, set up in one place for every file the program asks
// for: the PNG export, the scenes and the pictures; the message boxes; and the count of the
// program's dialogs open, which a close waits for.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

struct FileDialog {
    HWND owner = nullptr;             // null: no owner, the program's windows stay live
    bool save = false;                // the save dialog, else the open dialog
    const wchar_t* filter = nullptr;  // name and pattern pairs, ended by an empty pair
    const wchar_t* initialDir = nullptr;
    DWORD flags = 0;  // OFN_ flags
};

// The path the user chose, exactly as the dialog returns it; empty when the dialog was
// cancelled or failed, or returned no name.
std::wstring AskFileName(const FileDialog& dialog);

// The message box of the system, counted as a dialog of the program.
int AskMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// A dialog of the program is open while one of these lives (the file dialogs and message
// boxes above make their own; the keys help makes one).
class ScopedProgramDialog {
public:
    ScopedProgramDialog();
    ~ScopedProgramDialog();
    ScopedProgramDialog(const ScopedProgramDialog&) = delete;
    ScopedProgramDialog& operator=(const ScopedProgramDialog&) = delete;
};
// Whether a dialog of the program is open: a file dialog, a message box, the keys help.
bool ProgramDialogOpen();
// Brings the program's open dialog, the one that takes input, to the front.
void ShowProgramDialog();
