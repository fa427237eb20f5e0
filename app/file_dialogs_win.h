// The system's open and save dialogs, set up in one place for every file the program asks
// for: the PNG export, the scenes and the pictures.
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
