#include "app/file_dialogs_win.h"

#include <commdlg.h>

#include <cwchar>

// The longest path the system's file functions take, in UTF-16 units.
static constexpr DWORD kLongestPath = 32768;

std::wstring AskFileName(const FileDialog& d)
{
    // Room for a path of any length the system takes: a name that does not fit would make
    // the dialog fail as if cancelled.
    std::wstring path(kLongestPath, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = d.owner;
    dialog.lpstrFilter = d.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kLongestPath;
    dialog.lpstrInitialDir = d.initialDir;
    dialog.Flags = d.flags;
    // Success with an empty name happens when the program's window is destroyed while an
    // unowned dialog is open; there is nothing to use, so it counts as a cancel.
    if (!(d.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) || path[0] == L'\0')
        return std::wstring();
    path.resize(std::wcslen(path.c_str()));
    return path;
}
