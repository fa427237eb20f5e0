// The command layer's table: which key or menu id runs which command, the key hints of the
// menu and the keys help made from it, and MainWindow's title.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "resources/resource_ids.h"

enum class Command {
    None,
    CopyResult,       // Enter, C, menu 32773
    ClearMesh,        // Delete
    TranslucencyOff,  // 0
    TranslucencyOn,   // 5
    ColumnsFamily,    // H
    CycleLayout,      // P
    SaveResult,       // S
    RowsFamily,       // T
    PasteSource,      // V, menu 32775
    RefineMesh,       // W, X
    About,            // menu 104 (and the accelerators)
    Exit,             // menu 105
    Undo,             // Z, menu 32780
    Redo,             // Y, menu 32781
    OpenScene,        // O, menu 32782
    SaveScene,        // M, menu 32783
    OpenSource,       // menu 32784
    OpenBackdrop,     // menu 32785
    KeysHelp,         // F1, menu 32786
};

// One command as the user meets it: the keys that run it, its menu item, and what the keys
// help says of it. Every key of the program is here and nowhere else.
struct CommandEntry {
    Command command;
    uint32_t menuId;           // 0: no menu item
    uint32_t keys[2];          // WM_KEYDOWN virtual-key codes; 0 ends the list
    const wchar_t* otherKeys;  // keys the system or the accelerators take ("Alt+F4"), or ""
    const wchar_t* help;       // the keys help's line
};
std::span<const CommandEntry> CommandTable();
// The name of a key of the table as the menu writes it: "H", "5", "Del", "Enter", "F1".
std::wstring KeyName(uint32_t virtualKey);
// What a menu item shows after its tab: the names of the entry's keys joined by ", ", else
// its other keys; empty for a command that has no key.
std::wstring KeyHint(const CommandEntry& entry);
// The keys help: every key of the table with its line, then the mouse actions of both panes.
std::wstring KeysHelpText();

inline constexpr wchar_t kAboutCaption[] = L"バージョン情報";
#define VORLIN_WIDE_TEXT(s) L##s
#define VORLIN_WIDE(s) VORLIN_WIDE_TEXT(s)
// VORLIN_VERSION comes from the build (the top CMakeLists.txt).
inline constexpr wchar_t kAboutText[] =
    L"vorlin version " VORLIN_WIDE(VORLIN_VERSION) L"\nCopyright (C) 2026 the vorlin developers";
// The caption of the message boxes of a scene's opening: its refusal, or its unreadable images.
inline constexpr wchar_t kSceneCaption[] = L"シーンを開く";
// The question before unsaved work is closed away.
inline constexpr wchar_t kCloseCaption[] = L"vorlin";
inline constexpr wchar_t kCloseQuestion[] =
    L"保存されていない変更があります。\n終了する前にシーンを保存しますか?";

// MainWindow's title: "vorlin", then " - NAME" once a scene has a file (NAME without its
// folder), with a leading "*" while there is unsaved work.
std::wstring MainWindowTitle(const std::wstring& scenePath, bool unsaved);

// What the next scene save writes, told apart by identities that never come back once left:
// the edit history's position and the images' serials.
struct SavedMark {
    uint64_t position = 0;
    uint64_t source = 0;
    uint64_t backdrop = 0;
    bool operator==(const SavedMark&) const = default;
};

// The command of a WM_KEYDOWN virtual-key code; modifiers and repeat state are not looked at.
Command CommandForKey(uint32_t virtualKey);
// The command of a WM_COMMAND id; None leaves the message to the default handling.
Command CommandForMenuId(uint32_t id);
// Whether the command reads or changes the mesh, and so first ends a stroke or drag under way.
bool CommandUsesMesh(Command command);
