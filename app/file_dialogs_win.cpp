#include "app/file_dialogs_win.h"

#include <commdlg.h>

#include <cwchar>

static int gDialogsOpen = 0;

ScopedProgramDialog::ScopedProgramDialog() { ++gDialogsOpen; }
ScopedProgramDialog::~ScopedProgramDialog() { --gDialogsOpen; }
bool ProgramDialogOpen() { return gDialogsOpen > 0; }

// The dialogs are top-level windows of this thread; the one that takes input is the one not
// disabled by another's being open over it (a save dialog's overwrite question, say).
static BOOL CALLBACK FindInputDialog(HWND hwnd, LPARAM found)
{
    wchar_t name[16] = L"";
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && GetClassNameW(hwnd, name, 16) &&
        std::wcscmp(name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void ShowProgramDialog()
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindInputDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog)
        SetForegroundWindow(dialog);
}

int AskMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    ScopedProgramDialog open;
    return MessageBoxW(owner, text, caption, flags);
}

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
    ScopedProgramDialog open;
    // Success with an empty name happens when the program's window is destroyed while an
    // unowned dialog is open; there is nothing to use, so it counts as a cancel.
    if (!(d.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) || path[0] == L'\0')
        return std::wstring();
    path.resize(std::wcslen(path.c_str()));
    return path;
}
