// Reading, replaying, describing and writing scenes. Nothing here edits curves itself: every
// change goes through the operations the result pane's window procedure calls.
#include "scene/scene_file.h"
#include "scene/image_codecs.h"

#include <charconv>
#include <cstdint>
#include <set>
#include <utility>

#include "mesh/curves.h"
#include "mesh/node_grid.h"
#include "mesh/refine.h"
#include "scene/image_files.h"

using json = nlohmann::json;

namespace {

// Where a value sits in the document, as "actions[3].stroke[0]".
std::string Join(const std::string& path, const std::string& key)
{
    return path.empty() ? key : path + "." + key;
}

std::string Index(const std::string& path, size_t i)
{
    return path + "[" + std::to_string(i) + "]";
}

std::string Quoted(const std::string& s) { return json(s).dump(); }

// The parser keeps the last of two equal keys without a word; the form wants them refused.
class DuplicateKeyFinder {
public:
    bool operator()(int, json::parse_event_t event, json& parsed)
    {
        switch (event) {
        case json::parse_event_t::object_start: frames_.push_back({true, {}, 0, {}}); break;
        case json::parse_event_t::array_start: frames_.push_back({false, {}, 0, {}}); break;
        case json::parse_event_t::key: {
            Frame& f = frames_.back();
            f.key = parsed.get<std::string>();
            if (!f.seen.insert(f.key).second && duplicate_.empty())
                duplicate_ = "duplicate key " + Quoted(f.key) + InWhere(frames_.size() - 1);
            break;
        }
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            frames_.pop_back();
            ElementDone();
            break;
        case json::parse_event_t::value: ElementDone(); break;
        }
        return true;
    }
    const std::string& Duplicate() const { return duplicate_; }

private:
    struct Frame {
        bool isObject;
        std::string key;
        size_t count;
        std::set<std::string> seen;
    };

    void ElementDone()
    {
        if (!frames_.empty() && !frames_.back().isObject)
            ++frames_.back().count;
    }

    // " in actions[2]" for the object that frame `depth` is; empty for the top object.
    std::string InWhere(size_t depth) const
    {
        std::string path;
        for (size_t i = 0; i < depth; ++i)
            path = frames_[i].isObject ? Join(path, frames_[i].key) : Index(path, frames_[i].count);
        return path.empty() ? std::string() : " in " + path;
    }

    std::vector<Frame> frames_;
    std::string duplicate_;
};

// A value for a message: an array or object by its type alone, so that a deeply nested one
// is neither printed whole nor walked by the recursive serializer, which runs out of stack.
std::string Shown(const json& v)
{
    return v.is_structured() ? std::string("an ") + v.type_name() : v.dump();
}

bool ReadInt32(const json& v, const std::string& path, int32_t& out, std::string& error)
{
    if (v.is_number_integer()) {  // signed or unsigned, as written
        if (v.is_number_unsigned()) {
            const uint64_t u = v.get<uint64_t>();
            if (u <= uint64_t(INT32_MAX)) {
                out = int32_t(u);
                return true;
            }
        } else {
            const int64_t s = v.get<int64_t>();
            if (s >= INT32_MIN && s <= INT32_MAX) {
                out = int32_t(s);
                return true;
            }
        }
        error = path + ": " + v.dump() + " is outside the signed 32-bit range";
        return false;
    }
    if (v.is_number_float()) {
        // Digits beyond 64 bits arrive here as a double too.
        const double d = v.get<double>();
        if (!(d > -2147483649.0 && d < 2147483648.0))
            error = path + ": " + v.dump() + " is outside the signed 32-bit range";
        else
            error = path + ": " + v.dump() +
                    " is not an integer (integers are written without a fraction or exponent)";
    } else
        error = path + ": expected an integer, found " + std::string(v.type_name());
    return false;
}

bool ReadPoint(const json& v, const std::string& path, Point& p, std::string& error)
{
    if (!v.is_array() || v.size() != 2) {
        error = path + ": a point must be an [x, y] pair";
        return false;
    }
    return ReadInt32(v[0], Index(path, 0), p.x, error) &&
           ReadInt32(v[1], Index(path, 1), p.y, error);
}

bool ReadPoints(const json& v, const std::string& path, std::vector<Point>& points,
                std::string& error)
{
    if (!v.is_array()) {
        error = path + ": expected an array of [x, y] points, found " + std::string(v.type_name());
        return false;
    }
    points.clear();
    points.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        Point p;
        if (!ReadPoint(v[i], Index(path, i), p, error))
            return false;
        points.push_back(p);
    }
    return true;
}

bool ReadCurves(const json& v, const std::string& key, CurveSet& curves, std::string& error)
{
    if (!v.is_array()) {
        error = key + ": expected an array of curves, found " + std::string(v.type_name());
        return false;
    }
    curves.clear();
    curves.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        Curve curve;
        if (!ReadPoints(v[i], Index(key, i), curve, error))
            return false;
        if (curve.empty()) {
            error = Index(key, i) + ": a curve needs at least one point";
            return false;
        }
        curves.push_back(std::move(curve));
    }
    return true;
}

bool ReadSelection(const json& v, SelectionRect& s, std::string& error)
{
    if (!v.is_array() || v.size() != 4) {
        error = "selection: expected [x, y, width, height]";
        return false;
    }
    return ReadInt32(v[0], "selection[0]", s.x, error) &&
           ReadInt32(v[1], "selection[1]", s.y, error) &&
           ReadInt32(v[2], "selection[2]", s.width, error) &&
           ReadInt32(v[3], "selection[3]", s.height, error);
}

bool ReadNode(const json& v, const std::string& path, MeshNode& n, std::string& error)
{
    if (!v.is_array() || v.size() != 4) {
        error = path + ": a node must be [columnPointIndex, rowPointIndex, x, y]";
        return false;
    }
    return ReadInt32(v[0], Index(path, 0), n.columnPointIndex, error) &&
           ReadInt32(v[1], Index(path, 1), n.rowPointIndex, error) &&
           ReadInt32(v[2], Index(path, 2), n.x, error) &&
           ReadInt32(v[3], Index(path, 3), n.y, error);
}

bool ReadGrid(const json& v, NodeGrid& grid, std::string& error)
{
    if (!v.is_array()) {
        error = "grid: expected an array of rows of nodes, found " + std::string(v.type_name());
        return false;
    }
    grid.clear();
    grid.reserve(v.size());
    for (size_t r = 0; r < v.size(); ++r) {
        const std::string path = Index("grid", r);
        if (!v[r].is_array()) {
            error = path + ": expected an array of nodes, found " + std::string(v[r].type_name());
            return false;
        }
        NodeRow row(v[r].size());
        for (size_t c = 0; c < row.size(); ++c)
            if (!ReadNode(v[r][c], Index(path, c), row[c], error))
                return false;
        grid.push_back(std::move(row));
    }
    return true;
}

// The grid holds one row per row curve and one node per column curve in each row.
bool CheckGridShape(const NodeGrid& grid, size_t rowCount, size_t columnCount, std::string& error)
{
    if (grid.size() != rowCount) {
        error = "grid: " + std::to_string(grid.size()) + " rows for " + std::to_string(rowCount) +
                " row curves (one row per row curve)";
        return false;
    }
    for (size_t r = 0; r < grid.size(); ++r) {
        if (grid[r].size() != columnCount) {
            error = Index("grid", r) + ": " + std::to_string(grid[r].size()) + " nodes for " +
                    std::to_string(columnCount) + " column curves (one node per column curve)";
            return false;
        }
    }
    return true;
}

bool ReadString(const json& v, const std::string& key, std::optional<std::string>& out,
                std::string& error)
{
    if (!v.is_string()) {
        error = key + ": expected a string, found " + std::string(v.type_name());
        return false;
    }
    out = v.get<std::string>();
    return true;
}

bool ReadAction(const json& v, const std::string& path, SceneAction& a, std::string& error)
{
    if (!v.is_object() || v.size() != 1) {
        error = path + ": an action is an object with exactly one key";
        return false;
    }
    const std::string& name = v.begin().key();
    const json& value = v.begin().value();
    const std::string where = Join(path, name);
    if (name == "family") {
        a.kind = SceneActionKind::Family;
        if (value == "columns")
            a.family = CurveFamily::Columns;
        else if (value == "rows")
            a.family = CurveFamily::Rows;
        else {
            error = where + ": expected \"columns\" or \"rows\", found " + Shown(value);
            return false;
        }
        return true;
    }
    if (name == "stroke") {
        a.kind = SceneActionKind::Stroke;
        if (!ReadPoints(value, where, a.points, error))
            return false;
        if (a.points.empty()) {
            error = where + ": a stroke needs at least one point";
            return false;
        }
        return true;
    }
    if (name == "rightDrag") {
        a.kind = SceneActionKind::RightDrag;
        if (!ReadPoints(value, where, a.points, error))
            return false;
        if (a.points.size() != 2) {
            error = where + ": expected two points, press and release";
            return false;
        }
        return true;
    }
    if (name == "refine" || name == "clear") {
        a.kind = name == "refine" ? SceneActionKind::Refine : SceneActionKind::Clear;
        if (value != true) {
            error = where + ": expected true, found " + Shown(value);
            return false;
        }
        return true;
    }
    error = path + ": unknown action " + Quoted(name);
    return false;
}

}  // namespace

bool ParseScene(const std::string& text, Scene& scene, std::string& error)
{
    scene = Scene{};
    DuplicateKeyFinder duplicates;
    json doc;
    try {
        doc = json::parse(text, std::ref(duplicates));
    } catch (const json::exception& e) {  // a syntax error, or a number beyond a double
        error = std::string("not valid JSON: ") + e.what();
        return false;
    }
    if (!duplicates.Duplicate().empty()) {
        error = duplicates.Duplicate();
        return false;
    }
    if (!doc.is_object()) {
        error = "expected a JSON object at the top, found " + std::string(doc.type_name());
        return false;
    }
    for (const auto& [key, value] : doc.items()) {
        if (key == "source" || key == "backdrop") {
            if (!ReadString(value, key, key == "source" ? scene.source : scene.backdrop, error))
                return false;
        } else if (key == "grid") {
            scene.grid.emplace();
            if (!ReadGrid(value, *scene.grid, error))
                return false;
        } else if (key == "selection") {
            if (!ReadSelection(value, scene.selection, error))
                return false;
        } else if (key == "columns") {
            if (!ReadCurves(value, key, scene.columns, error))
                return false;
        } else if (key == "rows") {
            if (!ReadCurves(value, key, scene.rows, error))
                return false;
        } else if (key == "actions") {
            if (!value.is_array()) {
                error = "actions: expected an array, found " + std::string(value.type_name());
                return false;
            }
            scene.actions.resize(value.size());
            for (size_t i = 0; i < value.size(); ++i)
                if (!ReadAction(value[i], Index("actions", i), scene.actions[i], error))
                    return false;
        } else {
            error = "unknown key " + Quoted(key);
            return false;
        }
    }
    // The keys come in name order, so the curves are all read only now.
    if (scene.grid && !CheckGridShape(*scene.grid, scene.rows.size(), scene.columns.size(), error))
        return false;
    return true;
}

bool ReadSceneFile(const std::filesystem::path& path, const std::string& shownName, Scene& scene,
                   std::string& refusal)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) {
        refusal = shownName + ": cannot be read";
        return false;
    }
    std::string error;
    if (!ParseScene(std::string(bytes.begin(), bytes.end()), scene, error)) {
        refusal = shownName + ": " + error;
        return false;
    }
    return true;
}

std::filesystem::path SceneImagePath(const std::filesystem::path& sceneFolder,
                                     const std::string& name)
{
    std::filesystem::path path = PathFromUtf8(name);
    return path.is_relative() ? sceneFolder / path : path;
}

PixelImage LoadSceneImage(const std::filesystem::path& path, const char* key, std::string& warning,
                          DecodeWatch* watch)
{
    PixelImage image;
    std::vector<unsigned char> bytes;
    std::string failure = "cannot be read";
    const bool decoded = ReadWholeFile(path, bytes) && DecodeImage(bytes, image, failure, watch);
    if (watch)
        watch->End();
    if (decoded)
        return image;
    warning = std::string(key) + " \"" + Utf8FromPath(path) + "\" does not decode (" + failure +
              "); it draws nothing";
    return PixelImage{};
}

void ReplayScene(const Scene& scene, MeshEditState& e, std::vector<std::string>& warnings)
{
    e.sourceSelection = scene.selection;
    e.columnCurves = scene.columns;
    e.rowCurves = scene.rows;
    if (scene.grid)
        e.nodeGrid = *scene.grid;
    else
        RecomputeNodeGrid(e.columnCurves, e.rowCurves, e.nodeGrid);
    for (size_t i = 0; i < scene.actions.size(); ++i) {
        const SceneAction& a = scene.actions[i];
        switch (a.kind) {
        case SceneActionKind::Family:  // key H or T
            e.activeFamily = a.family;
            break;
        case SceneActionKind::Stroke:  // press, a move to each later point, release
            BeginStroke(e, a.points.front());
            for (size_t k = 1; k < a.points.size(); ++k)
                ExtendStroke(e, a.points[k]);
            EndStroke(e);
            break;
        case SceneActionKind::RightDrag:
            RightButtonDown(e, a.points[0]);
            RightButtonUp(e, a.points[1]);
            break;
        case SceneActionKind::Refine:  // key W
            if (!RefineMesh(e))
                warnings.push_back(Index("actions", i) +
                                   ": refine skipped: the refined mesh would pass the mesh bound "
                                   "or not fit in memory; "
                                   "the mesh stays as it was");
            break;
        case SceneActionKind::Clear:  // Delete
            ClearMesh(e);
            break;
        }
    }
}

static json CurvesDocument(const CurveSet& curves)
{
    json out = json::array();
    for (const Curve& curve : curves) {
        json points = json::array();
        for (const Point& p : curve)
            points.push_back({p.x, p.y});
        out.push_back(std::move(points));
    }
    return out;
}

json GridDocument(const MeshEditState& e)
{
    int32_t canvasWidth = 0, canvasHeight = 0;
    MeasureCanvas(e.columnCurves, e.rowCurves, canvasWidth, canvasHeight);
    json grid = json::array();
    for (const NodeRow& row : e.nodeGrid) {
        json nodes = json::array();
        for (const MeshNode& n : row)
            nodes.push_back({n.columnPointIndex, n.rowPointIndex, n.x, n.y});
        grid.push_back(std::move(nodes));
    }
    return json{{"canvas", {canvasWidth, canvasHeight}},
                {"columns", CurvesDocument(e.columnCurves)},
                {"rows", CurvesDocument(e.rowCurves)},
                {"grid", std::move(grid)}};
}

// ---- writing ------------------------------------------------------------------------------

namespace {

// Integers by std::to_chars, strings escaped by the JSON library; one curve and one grid row a
// line, so a large mesh is written without a document of it in memory.
class SceneWriter {
public:
    explicit SceneWriter(std::ostream& out) : out_(out) {}

    void Key(const char* key)
    {
        out_ << (first_ ? "{\n  \"" : ",\n  \"") << key << "\": ";
        first_ = false;
    }
    void String(const std::string& s) { out_ << json(s).dump(); }
    void Int(int32_t v)
    {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        out_.write(digits, end - digits);
    }
    template <typename T, typename Each>
    void Array(const std::vector<T>& items, bool linePerItem, Each each)
    {
        out_ << '[';
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0)
                out_ << (linePerItem ? "," : ", ");
            if (linePerItem)
                out_ << "\n    ";
            each(items[i]);
        }
        out_ << (linePerItem && !items.empty() ? "\n  ]" : "]");
    }
    void Ints(std::initializer_list<int32_t> values)
    {
        out_ << '[';
        const char* separator = "";
        for (int32_t v : values) {
            out_ << separator;
            Int(v);
            separator = ", ";
        }
        out_ << ']';
    }
    void Curves(const CurveSet& curves)
    {
        Array(curves, true, [&](const Curve& curve) {
            Array(curve, false, [&](const Point& p) { Ints({p.x, p.y}); });
        });
    }
    void End() { out_ << (first_ ? "{}\n" : "\n}\n"); }

private:
    std::ostream& out_;
    bool first_ = true;
};

}  // namespace

void WriteScene(std::ostream& out, const MeshEditState& e, const std::optional<std::string>& source,
                const std::optional<std::string>& backdrop)
{
    SceneWriter w(out);
    if (source) {
        w.Key("source");
        w.String(*source);
    }
    if (backdrop) {
        w.Key("backdrop");
        w.String(*backdrop);
    }
    const SelectionRect& s = e.sourceSelection;
    w.Key("selection");
    w.Ints({s.x, s.y, s.width, s.height});
    w.Key("columns");
    w.Curves(e.columnCurves);
    w.Key("rows");
    w.Curves(e.rowCurves);
    if (GridHasShape(e.nodeGrid, e.rowCurves.size(), e.columnCurves.size())) {
        w.Key("grid");
        w.Array(e.nodeGrid, true, [&](const NodeRow& row) {
            w.Array(row, false, [&](const MeshNode& n) {
                w.Ints({n.columnPointIndex, n.rowPointIndex, n.x, n.y});
            });
        });
    }
    if (e.activeFamily == CurveFamily::Rows) {  // the replay starts with Columns
        w.Key("actions");
        out << "[{\"family\": \"rows\"}]";
    }
    w.End();
}
