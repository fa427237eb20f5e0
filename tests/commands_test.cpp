// Tests of the command layer's key and menu tables.
#include "app/commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <iterator>
#include <string>

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
        {0x70, Command::KeysHelp},        // F1
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

TEST(CommandForMenuId, EveryMenuItemAndNothingElse)
{
    EXPECT_EQ(CommandForMenuId(104), Command::About);
    EXPECT_EQ(CommandForMenuId(105), Command::Exit);
    EXPECT_EQ(CommandForMenuId(32773), Command::CopyResult);
    EXPECT_EQ(CommandForMenuId(32775), Command::PasteSource);
    EXPECT_EQ(CommandForMenuId(32780), Command::Undo);
    EXPECT_EQ(CommandForMenuId(32781), Command::Redo);
    EXPECT_EQ(CommandForMenuId(32782), Command::OpenScene);
    EXPECT_EQ(CommandForMenuId(32783), Command::SaveScene);
    // the new items: CommandTable.EveryItemWithItsKeyHint
    for (uint32_t id : {0u, 103u, 106u, 109u, 110u, 32772u, 32774u, 32776u, 32779u, 32795u, 65535u})
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
        Command::PasteSource,   Command::About,           Command::Exit,
        Command::OpenSource,    Command::OpenBackdrop,    Command::KeysHelp};
    for (Command c : others)
        EXPECT_FALSE(CommandUsesMesh(c)) << int(c);
}

// The hints as the menu writes them after the tab, one row per item in the menu's order.
TEST(CommandTable, EveryItemWithItsKeyHint)
{
    struct Row {
        uint32_t menuId;
        Command command;
        const wchar_t* hint;
    };
    const Row rows[] = {
        {32784, Command::OpenSource, L""},
        {32785, Command::OpenBackdrop, L""},
        {32782, Command::OpenScene, L"O"},
        {32783, Command::SaveScene, L"M"},
        {32787, Command::SaveResult, L"S"},
        {105, Command::Exit, L"Alt+F4"},
        {32780, Command::Undo, L"Z"},
        {32781, Command::Redo, L"Y"},
        {32775, Command::PasteSource, L"V"},
        {32773, Command::CopyResult, L"C, Enter"},
        {32793, Command::RefineMesh, L"W, X"},
        {32794, Command::ClearMesh, L"Del"},
        {32788, Command::ColumnsFamily, L"H"},
        {32789, Command::RowsFamily, L"T"},
        {32790, Command::CycleLayout, L"P"},
        {32791, Command::TranslucencyOn, L"5"},
        {32792, Command::TranslucencyOff, L"0"},
        {32786, Command::KeysHelp, L"F1"},
        {104, Command::About, L"Alt+?"},
    };
    const auto table = CommandTable();
    ASSERT_EQ(table.size(), std::size(rows));
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].menuId, rows[i].menuId) << i;
        EXPECT_EQ(KeyHint(table[i]), rows[i].hint) << rows[i].menuId;
        EXPECT_EQ(table[i].command, rows[i].command) << rows[i].menuId;
        EXPECT_EQ(CommandForMenuId(rows[i].menuId), rows[i].command) << rows[i].menuId;
        // each entry's keys lead back to it, so no two entries share one
        for (uint32_t key : table[i].keys) {
            if (key != 0) {
                EXPECT_EQ(CommandForKey(key), table[i].command) << std::hex << key;
            }
        }
    }
}

// Every key of the table has its line, key and words parted by a tab, and so has every mouse
// action of both panes.
TEST(CommandTable, KeysHelpListsEveryKeyAndMouseAction)
{
    const std::wstring text = KeysHelpText();
    for (const CommandEntry& entry : CommandTable()) {
        const std::wstring hint = KeyHint(entry);
        if (hint.empty())
            continue;
        const std::wstring line = L"\n" + hint + L"\t" + entry.help + L"\r\n";
        EXPECT_NE(text.find(line), std::wstring::npos) << entry.menuId;
    }
    for (const wchar_t* action : {L"ソース: 左ドラッグ", L"結果: 左ドラッグ", L"結果: 右ドラッグ",
                                  L"結果: ラベルを右クリック", L"ホイール\t", L"ドロップ\t"})
        EXPECT_NE(text.find(action), std::wstring::npos);
}

TEST(MainWindowTitle, ProgramNameSceneNameAndUnsavedMark)
{
    EXPECT_EQ(MainWindowTitle(L"", false), L"vorlin");
    EXPECT_EQ(MainWindowTitle(L"", true), L"*vorlin");
    EXPECT_EQ(MainWindowTitle(L"Z:\\work\\a b\\mesh.scene.json", false),
              L"vorlin - mesh.scene.json");
    EXPECT_EQ(MainWindowTitle(L"/tmp/x.y/mesh.scene.json", true), L"*vorlin - mesh.scene.json");
    EXPECT_EQ(MainWindowTitle(L"画像.scene.json", true), L"*vorlin - 画像.scene.json");
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
