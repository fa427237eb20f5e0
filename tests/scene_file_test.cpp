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
#include <tuple>

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

// A drawn 3 x 3 mesh with nodes that no crossing explains: a row below the columns' ends keeps
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

MeshEditState RowsOnly()
{
    MeshEditState e;
    e.rowCurves = {{{5, 5}, {90, 9}}, {{5, 50}}};
    e.nodeGrid = {{}, {}};
    return e;
}

void ExpectSameState(const MeshEditState& got, const MeshEditState& want, const std::string& name)
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
        {"rows only", RowsOnly(), "s.png", std::nullopt},
    };
    for (const Case& c : cases) {
        std::ostringstream text;
        WriteScene(text, c.state, c.source, c.backdrop);
        Scene scene;
        std::string error;
        ASSERT_TRUE(ParseScene(text.str(), scene, error)) << c.name << ": " << error;
        EXPECT_TRUE(scene.source == c.source && scene.backdrop == c.backdrop) << c.name;
        MeshEditState replayed;
        std::vector<std::string> warnings;
        ReplayScene(scene, replayed, warnings);
        ExpectSameState(replayed, c.state, c.name);
    }
    // The stale nodes are what the grid is written for: computed from the curves it differs.
    MeshEditState recomputed = DrawnWithStaleNodes();
    recomputed.nodeGrid.clear();
    RecomputeNodeGrid(recomputed.columnCurves, recomputed.rowCurves, recomputed.nodeGrid);
    EXPECT_NE(recomputed.nodeGrid, DrawnWithStaleNodes().nodeGrid);
}

// ---- saving beside the images ----------------------------------------------------------------

PixelImage Picture(uint32_t w, uint32_t h, uint32_t seed)
{
    PixelImage image;
    image.Allocate(w, h);
    for (size_t i = 0; i < image.pixels.size(); ++i)  // translucent and transparent pixels too
        image.pixels[i] = uint32_t(i * 2654435761u + seed) & (i % 3 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    return image;
}

class SceneSaving : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::path(testing::TempDir()) / "vorlin-scene-saving";
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

    // The scene as the program opens it: the state replayed, the images decoded.
    void ExpectOpensTo(const MeshEditState& state, const PixelImage& source,
                       const PixelImage& backdrop, const char* when)
    {
        Scene scene;
        std::string refusal, warning;
        ASSERT_TRUE(ReadSceneFile(folder / "mesh.scene.json", "", scene, refusal)) << refusal;
        MeshEditState e;
        std::vector<std::string> warnings;
        ReplayScene(scene, e, warnings);
        ExpectSameState(e, state, when);
        for (const auto& [name, want, key] : {std::tuple{scene.source, &source, "source"},
                                              std::tuple{scene.backdrop, &backdrop, "backdrop"}}) {
            PixelImage got;
            if (name)
                got = LoadSceneImage(SceneImagePath(folder, *name), key, warning);
            EXPECT_TRUE(got.pixels == want->pixels && got.width == want->width) << when << key;
        }
        EXPECT_EQ(warning, "") << when;
    }

    fs::path folder;
};

TEST_F(SceneSaving, KeepsThePixelsAndRemovesOnlyItsOwnOldImages)
{
    const fs::path scene = folder / "mesh.scene.json";
    const MeshEditState state = DrawnWithStaleNodes();
    const PixelImage a = Picture(7, 5, 1), b = Picture(3, 9, 2), c = Picture(4, 4, 3), none;
    const std::string nameA = SceneImageName(scene, "source", a);
    const std::string nameB = SceneImageName(scene, "backdrop", b);
    const std::string nameC = SceneImageName(scene, "source", c);
    ASSERT_TRUE(SaveSceneFiles(scene, state, a, b));
    EXPECT_EQ(Files(), (std::set<std::string>{"mesh.scene.json", nameA, nameB}));
    ExpectOpensTo(state, a, b, "saved");

    // Another source: the backdrop's file is kept as it is, the old source's goes.
    ASSERT_TRUE(SaveSceneFiles(scene, MeshEditState{}, c, b));
    EXPECT_EQ(Files(), (std::set<std::string>{"mesh.scene.json", nameC, nameB}));
    ExpectOpensTo(MeshEditState{}, c, b, "saved again");

    // A file under the new image's name that holds other pixels is not overwritten, and an
    // image that a hand-written scene named is not removed.
    ASSERT_TRUE(WriteWholeFile(folder / nameA, {'n', 'o'}));
    ASSERT_TRUE(WriteWholeFile(folder / "photo.png", {'n', 'o'}));
    const std::string text = R"({"source": "photo.png", "backdrop": ")" + nameB + R"("})";
    ASSERT_TRUE(WriteWholeFile(scene, std::vector<unsigned char>(text.begin(), text.end())));
    ASSERT_TRUE(SaveSceneFiles(scene, state, a, none));
    const std::string renamedA = nameA.substr(0, nameA.size() - 4) + "-1.png";
    EXPECT_EQ(Files(),
              (std::set<std::string>{"mesh.scene.json", nameA, renamedA, nameC, "photo.png"}));
    ExpectOpensTo(state, a, none, "saved over a hand-written scene");

    // The scene's place taken by a folder: the images written for it are taken back.
    fs::remove_all(folder);
    fs::create_directories(scene);
    EXPECT_FALSE(SaveSceneFiles(scene, state, a, b));
    EXPECT_EQ(Files(), std::set<std::string>{"mesh.scene.json"});
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
