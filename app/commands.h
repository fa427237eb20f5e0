// The command layer's tables: which key or menu id runs which command.
#pragma once

#include <cstdint>

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
};

inline constexpr wchar_t kAboutCaption[] = L"バージョン情報";
#define VORLIN_WIDE_TEXT(s) L##s
#define VORLIN_WIDE(s) VORLIN_WIDE_TEXT(s)
// VORLIN_VERSION comes from the build (the top CMakeLists.txt).
inline constexpr wchar_t kAboutText[] =
    L"vorlin version " VORLIN_WIDE(VORLIN_VERSION) L"\nCopyright (C) 2026 the vorlin developers";
// The caption of the message boxes of a scene's opening: its refusal, or its unreadable images.
inline constexpr wchar_t kSceneCaption[] = L"シーンを開く";

// The command of a WM_KEYDOWN virtual-key code; modifiers and repeat state are not looked at.
Command CommandForKey(uint32_t virtualKey);
// The command of a WM_COMMAND id; None leaves the message to the default handling.
Command CommandForMenuId(uint32_t id);
// Whether the command reads or changes the mesh, and so first ends a stroke or drag under way.
bool CommandUsesMesh(Command command);
