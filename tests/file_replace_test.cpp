// Tests of replacing a file only once its successor is complete.
#include "scene/file_replace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> Listing(const fs::path& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

// A fresh folder holding "old.png" (ten bytes) and "sub/inner" (one file in a folder).
class FileReplace : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("vorlin-replace-" +
                  std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder / "sub");
        WriteAll(folder / "old.png", "0123456789");
        WriteAll(folder / "sub" / "inner", "x");
    }
    void TearDown() override
    {
        LimitReplaceWritesForTesting(std::nullopt);
        fs::remove_all(folder);
    }
    fs::path folder;
};

TEST_F(FileReplace, WritesANewFileAndReplacesAnOldOneWhole)
{
    const std::set<std::string> before = Listing(folder);
    EXPECT_TRUE(ReplaceFileWithBytes(folder / "new.png", "abc", 3));
    EXPECT_EQ(ReadAll(folder / "new.png"), "abc");
    // shorter than the file it replaces: nothing of the old bytes is left at the end
    EXPECT_TRUE(ReplaceFileWithBytes(folder / "old.png", "ab", 2));
    EXPECT_EQ(ReadAll(folder / "old.png"), "ab");
    std::set<std::string> want = before;
    want.insert("new.png");
    EXPECT_EQ(Listing(folder), want) << "a file of another name was left behind";
}

TEST_F(FileReplace, TheWriterFillsAnEmptyNewFileInTheTargetsFolder)
{
    fs::path seen;
    EXPECT_TRUE(ReplaceFileWith(folder / "old.png", [&](const fs::path& partial) {
        seen = partial;
        EXPECT_TRUE(fs::is_regular_file(partial));
        EXPECT_EQ(fs::file_size(partial), 0u);
        EXPECT_EQ(ReadAll(folder / "old.png"), "0123456789") << "replaced before it was written";
        WriteAll(partial, "new");
        return true;
    }));
    EXPECT_EQ(fs::canonical(seen.parent_path()), fs::canonical(folder));
    EXPECT_EQ(ReadAll(folder / "old.png"), "new");
    EXPECT_FALSE(fs::exists(seen));
}

// Every way the writing can fail leaves each file as it was and adds none.
TEST_F(FileReplace, AFailureLeavesEveryFileAsItWas)
{
    const std::set<std::string> before = Listing(folder);
    auto unchanged = [&](const char* what) {
        EXPECT_EQ(Listing(folder), before) << what;
        EXPECT_EQ(ReadAll(folder / "old.png"), "0123456789") << what;
        EXPECT_EQ(ReadAll(folder / "sub" / "inner"), "x") << what;
    };

    EXPECT_FALSE(ReplaceFileWithBytes(folder / "missing" / "out.png", "abc", 3));
    unchanged("a folder that does not exist");

    EXPECT_FALSE(ReplaceFileWithBytes(folder / "sub", "abc", 3));
    EXPECT_TRUE(fs::is_directory(folder / "sub"));
    unchanged("a path that names a folder");

    LimitReplaceWritesForTesting(4);  // the disk fills after four of the eleven bytes
    EXPECT_FALSE(ReplaceFileWithBytes(folder / "old.png", "new content", 11));
    unchanged("a write that fails part-way");
    LimitReplaceWritesForTesting(std::nullopt);

    EXPECT_FALSE(ReplaceFileWith(folder / "old.png", [](const fs::path& partial) {
        WriteAll(partial, "half");
        return false;
    }));
    unchanged("an encoder that fails after writing");

    EXPECT_THROW(ReplaceFileWith(folder / "old.png",
                                 [](const fs::path& partial) -> bool {
                                     WriteAll(partial, "half");
                                     throw std::bad_alloc();
                                 }),
                 std::bad_alloc);
    unchanged("an encoder that runs out of memory");
}

}  // namespace
