// The keys and mouse help: a dialog owned by MainWindow whose list is made from the command
// table, the same one the menu's key hints and the key handler read.
#include "app/editor_state.h"
#include "app/file_dialogs_win.h"
#include "app/windows_win.h"

#include <new>
#include <stdexcept>

// The list's tab stop, in dialog units: the longest mouse action fits before it.
static constexpr UINT kHelpTabStop = 100;

static void OnKeysHelpInit(HWND dialog)
{
    HWND list = GetDlgItem(dialog, VORLIN_KEYS_HELP_LIST);
    SendMessageW(list, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&kHelpTabStop));
    SetWindowTextW(list, KeysHelpText().c_str());  // an empty list when memory runs out
    // On the button, Esc and Enter reach the dialog's own handling: both close it.
    SetFocus(GetDlgItem(dialog, IDOK));
}

static INT_PTR CALLBACK KeysHelpProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: try { OnKeysHelpInit(dialog);
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {}
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ShowKeysHelp(HWND main)
{
    ScopedProgramDialog open;
    DialogBoxParamW(gEditor.instance, MAKEINTRESOURCEW(VORLIN_DIALOG_KEYS_HELP), main, KeysHelpProc,
                    0);
}
