// Tests of scene writing and saving: a written scene reads back to the very state it was
// written from, and a save leaves a scene that opens to the old state or the new one.
#include "scene/scene_file.h"
#include "scene/scene_save.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>
#include <string>

#include "scene/image_files.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

void Stroke(MeshEditState& e, std::vector<Point> points)
{
    BeginStroke(e, points.front());
    for (size_t i = 1; i < points.size(); ++i)
        ExtendStroke(e, points[i]);
    EndStroke(e);
}

// A drawn 3 x 2 mesh with nodes that no crossing explains: a row below the columns' ends keeps
// zero nodes where it meets no column, and a dragged node whose neighbours lie on its own
// segments bends nothing and stands where it was dropped. The row family is active and the
// rectangle was dragged leftwards.
MeshEditState DrawnWithStaleNodes()
{
    MeshEditState e;
    Stroke(e, {{20, 0}, {22, 100}});
    Stroke(e, {{50, -5}, {49, 40}, {51, 105}});
    Stroke(e, {{80, 0}, {78, 100}});
    e.activeFamily = CurveFamily::Rows;
    Stroke(e, {{0, 20}, {100, 18}});
    Stroke(e, {{0, 80}, {100, 82}});
    Stroke(e, {{0, 300}, {40, 301}});
    RightButtonDown(e, {50, 19});
    RightButtonUp(e, {90, 60});
    e.sourceSelection = {70, 12, -40, 33};
    return e;
}

MeshEditState Extreme()
{
    MeshEditState e;
    e.columnCurves = {{{kMin, kMin}, {kMax, kMax}}, {{kMax, kMin}}, {{0, 0}, {-1, 5}, {kMin, 7}}};
    e.rowCurves = {{{kMin, kMax}, {kMax, kMin}}};
    e.nodeGrid = {{{kMax, kMin, kMin, kMax}, {-1, 99, 0, 0}, {3, 2, kMax, kMax}}};
    e.sourceSelection = {kMin, kMax, kMin, kMax};
    return e;
}

MeshEditState ColumnsOnly()
{
    MeshEditState e;
    Stroke(e, {{5, 5}, {9, 90}});
    return e;
}

MeshEditState RowsOnly()
{
    MeshEditState e;
    e.activeFamily = CurveFamily::Rows;
    Stroke(e, {{5, 5}, {90, 9}});
    Stroke(e, {{5, 50}, {90, 59}});
    return e;
}

void ExpectSameState(const MeshEditState& got, const MeshEditState& want, const char* name)
{
    EXPECT_EQ(got.columnCurves, want.columnCurves) << name;
    EXPECT_EQ(got.rowCurves, want.rowCurves) << name;
    EXPECT_EQ(got.nodeGrid, want.nodeGrid) << name;
    EXPECT_EQ(got.sourceSelection, want.sourceSelection) << name;
    EXPECT_EQ(got.activeFamily, want.activeFamily) << name;
}

TEST(WriteScene, ReadsBackToTheStateItWasWrittenFrom)
{
    struct Case {
        const char* name;
        MeshEditState state;
        std::optional<std::string> source, backdrop;
    };
    const Case cases[] = {
        {"nothing", MeshEditState{}, std::nullopt, std::nullopt},
        {"drawn, with stale nodes", DrawnWithStaleNodes(), "a \"b\"\\c.png", "画像.png"},
        {"extreme coordinates", Extreme(), std::nullopt, "../up/b.png"},
        {"columns only", ColumnsOnly(), "s.png", std::nullopt},
        {"rows only", RowsOnly(), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        std::ostringstream text;
        WriteScene(text, c.state, c.source, c.backdrop);
        Scene scene;
        std::string error;
        ASSERT_TRUE(ParseScene(text.str(), scene, error)) << c.name << ": " << error;
        EXPECT_EQ(scene.source, c.source) << c.name;
        EXPECT_EQ(scene.backdrop, c.backdrop) << c.name;
        MeshEditState replayed;
        std::vector<std::string> warnings;
        ReplayScene(scene, replayed, warnings);
        ExpectSameState(replayed, c.state, c.name);
        EXPECT_TRUE(warnings.empty()) << c.name;
    }
    // The stale nodes are what the grid key is for: the grid computed from the curves differs.
    MeshEditState recomputed = DrawnWithStaleNodes();
    recomputed.nodeGrid.clear();
    RecomputeNodeGrid(recomputed.columnCurves, recomputed.rowCurves, recomputed.nodeGrid);
    EXPECT_NE(recomputed.nodeGrid, DrawnWithStaleNodes().nodeGrid);
}

// ---- saving beside the images ----------------------------------------------------------------

class SceneSaving : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(testing::TempDir()) /
                 (std::string("vorlin-save-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    // Opens the scene as the program does: the state replayed, the images decoded.
    void Open(const fs::path& path, MeshEditState& e, PixelImage& source, PixelImage& backdrop)
    {
        Scene scene;
        std::string refusal, warning;
        ASSERT_TRUE(ReadSceneFile(path, "x", scene, refusal)) << refusal;
        std::vector<std::string> warnings;
        ReplayScene(scene, e, warnings);
        source = scene.source
                     ? LoadSceneImage(SceneImagePath(folder, *scene.source), "source", warning)
                     : PixelImage{};
        backdrop = scene.backdrop ? LoadSceneImage(SceneImagePath(folder, *scene.backdrop),
                                                   "backdrop", warning)
                                  : PixelImage{};
        EXPECT_EQ(warning, "");
    }

    fs::path folder;
};

PixelImage Picture(uint32_t w, uint32_t h, uint32_t seed)
{
    PixelImage image;
    image.Allocate(w, h);
    for (size_t i = 0; i < image.pixels.size(); ++i)  // translucent and transparent pixels too
        image.pixels[i] = uint32_t(i * 2654435761u + seed) & (i % 3 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    return image;
}

TEST_F(SceneSaving, KeepsThePixelsAndRemovesOnlyItsOwnOldImages)
{
    const fs::path scene = folder / "mesh.scene.json";
    const MeshEditState state = DrawnWithStaleNodes();
    const PixelImage a = Picture(7, 5, 1), b = Picture(3, 9, 2), c = Picture(4, 4, 3);
    ASSERT_TRUE(SaveSceneFiles(scene, state, a, b));
    const std::string nameA = SceneImageName(scene, "source", a);
    const std::string nameB = SceneImageName(scene, "backdrop", b);
    EXPECT_EQ(nameA.rfind("mesh.source.", 0), 0u) << nameA;
    EXPECT_EQ(Files(), (std::set<std::string>{"mesh.scene.json", nameA, nameB}));
    MeshEditState opened;
    PixelImage source, backdrop;
    Open(scene, opened, source, backdrop);
    ExpectSameState(opened, state, "saved");
    EXPECT_EQ(source.pixels, a.pixels);
    EXPECT_EQ(backdrop.pixels, b.pixels);

    // Saved again with another source: the backdrop file is kept as it is, the old source goes.
    ASSERT_TRUE(SaveSceneFiles(scene, MeshEditState{}, c, b));
    const std::string nameC = SceneImageName(scene, "source", c);
    EXPECT_EQ(Files(), (std::set<std::string>{"mesh.scene.json", nameC, nameB}));
    Open(scene, opened, source, backdrop);
    EXPECT_EQ(source.pixels, c.pixels);

    // A file already under the new image's name holding other pixels is never overwritten; an
    // image a hand-written scene named is never removed.
    std::vector<unsigned char> stranger = {'n', 'o', 't'};
    ASSERT_TRUE(WriteWholeFile(folder / nameA, stranger));
    ASSERT_TRUE(WriteWholeFile(folder / "photo.png", stranger));
    std::vector<unsigned char> handWritten;
    const std::string text = R"({"source": "photo.png", "backdrop": ")" + nameB + R"("})";
    handWritten.assign(text.begin(), text.end());
    ASSERT_TRUE(WriteWholeFile(scene, handWritten));
    ASSERT_TRUE(SaveSceneFiles(scene, state, a, PixelImage{}));
    const std::string renamedA = nameA.substr(0, nameA.size() - 4) + "-1.png";
    EXPECT_EQ(Files(),
              (std::set<std::string>{"mesh.scene.json", nameA, renamedA, nameC, "photo.png"}));
    Open(scene, opened, source, backdrop);
    EXPECT_EQ(source.pixels, a.pixels);
    EXPECT_TRUE(backdrop.pixels.empty());
}

TEST_F(SceneSaving, AFailedSaveLeavesTheOldSceneAndNoNewFile)
{
    // The scene's place is taken by a folder: its images can be written, the scene cannot.
    const fs::path scene = folder / "taken.scene.json";
    fs::create_directories(scene);
    EXPECT_FALSE(SaveSceneFiles(scene, DrawnWithStaleNodes(), Picture(2, 2, 5), Picture(2, 2, 6)));
    EXPECT_EQ(Files(), std::set<std::string>{"taken.scene.json"});
    EXPECT_TRUE(fs::is_directory(scene));
}

TEST(SceneSavePath, AddsTheSceneEndingToANameWithoutAJsonEnding)
{
    EXPECT_EQ(SceneSavePath("dir/a"), fs::path("dir/a.scene.json"));
    EXPECT_EQ(SceneSavePath("dir/a.png"), fs::path("dir/a.png.scene.json"));
    EXPECT_EQ(SceneSavePath("dir/a.scene.json"), fs::path("dir/a.scene.json"));
    EXPECT_EQ(SceneSavePath("dir/a.JSON"), fs::path("dir/a.JSON"));
    EXPECT_EQ(SceneImageName("dir/a.JSON", "backdrop", Picture(1, 1, 0)).rfind("a.backdrop.", 0),
              0u);
}

}  // namespace
