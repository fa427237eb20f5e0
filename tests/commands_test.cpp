// Tests of the command layer's key and menu tables.
#include "app/commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>

namespace {

TEST(CommandForKey, EveryKeyOfTheTable)
{
    struct Case {
        uint32_t key;
        Command command;
    };
    const Case cases[] = {
        {0x0D, Command::CopyResult},      // Enter
        {0x2E, Command::ClearMesh},       // Delete
        {'0', Command::TranslucencyOff},  // 0x30
        {'5', Command::TranslucencyOn},   // 0x35
        {'C', Command::CopyResult},       // 0x43
        {'H', Command::ColumnsFamily},    // 0x48
        {'M', Command::SaveScene},        // 0x4D
        {'O', Command::OpenScene},        // 0x4F
        {'P', Command::CycleLayout},      // 0x50
        {'S', Command::SaveResult},       // 0x53
        {'T', Command::RowsFamily},       // 0x54
        {'V', Command::PasteSource},      // 0x56
        {'W', Command::RefineMesh},       // 0x57
        {'X', Command::RefineMesh},       // 0x58
        {'Y', Command::Redo},             // 0x59
        {'Z', Command::Undo},             // 0x5A
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandForKey(c.key), c.command) << std::hex << c.key;
}

TEST(CommandForKey, KeysOutsideTheTableDoNothing)
{
    const uint32_t others[] = {
        0x60,  0x65,  // keypad 0 and 5
        0xBE,         // full stop
        0x63,         // keypad 3, which is also the code of a lower-case 'c'
        '1',   '4',   '6',  '9',  'A',  'B',
        'D',   'N',   'Q',  0x10, 0x11, 0x12,  // Shift, Ctrl, Alt themselves
        0x08,  0x1B,  0x20,                    // Backspace, Escape, Space
        0x130, 0x143,                          // a code with bits above the byte is not 0 or C
        0x7A,  0x79,  0x6F, 0x6D,              // F11, F10, keypad / and -: lower-case z, y, o, m
    };
    for (uint32_t key : others)
        EXPECT_EQ(CommandForKey(key), Command::None) << std::hex << key;
}

TEST(CommandForMenuId, TheEightMenuItemsAndNothingElse)
{
    EXPECT_EQ(CommandForMenuId(104), Command::About);
    EXPECT_EQ(CommandForMenuId(105), Command::Exit);
    EXPECT_EQ(CommandForMenuId(32773), Command::CopyResult);
    EXPECT_EQ(CommandForMenuId(32775), Command::PasteSource);
    EXPECT_EQ(CommandForMenuId(32780), Command::Undo);
    EXPECT_EQ(CommandForMenuId(32781), Command::Redo);
    EXPECT_EQ(CommandForMenuId(32782), Command::OpenScene);
    EXPECT_EQ(CommandForMenuId(32783), Command::SaveScene);
    for (uint32_t id : {0u, 103u, 106u, 109u, 32772u, 32774u, 32776u, 32779u, 32784u, 65535u})
        EXPECT_EQ(CommandForMenuId(id), Command::None) << id;
}

TEST(CommandUsesMesh, TheExportsAndTheMeshEditsOnly)
{
    const Command meshCommands[] = {Command::CopyResult, Command::ClearMesh, Command::SaveResult,
                                    Command::RefineMesh, Command::Undo,      Command::Redo,
                                    Command::OpenScene,  Command::SaveScene};
    for (Command c : meshCommands)
        EXPECT_TRUE(CommandUsesMesh(c)) << int(c);
    // The family keys take effect from the next stroke; the rest never see the mesh.
    const Command others[] = {
        Command::None,          Command::TranslucencyOff, Command::TranslucencyOn,
        Command::ColumnsFamily, Command::CycleLayout,     Command::RowsFamily,
        Command::PasteSource,   Command::About,           Command::Exit};
    for (Command c : others)
        EXPECT_FALSE(CommandUsesMesh(c)) << int(c);
}

TEST(AboutBox, CaptionAndTwoLineText)
{
    // "バージョン情報" code unit by code unit
    const wchar_t caption[] = {0x30D0, 0x30FC, 0x30B8, 0x30E7, 0x30F3, 0x60C5, 0x5831, 0};
    EXPECT_EQ(std::wcscmp(kAboutCaption, caption), 0);
    const wchar_t* text = kAboutText;
    const wchar_t* newline = std::wcschr(text, L'\n');
    ASSERT_NE(newline, nullptr);
    EXPECT_EQ(std::wstring(text, newline), L"vorlin version " VORLIN_WIDE(VORLIN_VERSION));
    EXPECT_EQ(std::wcschr(newline + 1, L'\n'), nullptr);  // exactly two lines
    EXPECT_NE(std::wstring(newline + 1).find(L"Copyright"), std::wstring::npos);
}

}  // namespace
