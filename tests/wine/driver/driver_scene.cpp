// Images, replay scripts made from scene files, and the comparisons of the program's
// exports and of ResultPane's pixels with the headless renderer's output.
#include "driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WINDOWS_UTF8
#define STBIW_WINDOWS_UTF8
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

static std::string Utf8WinPath(const std::string& unixPath) { return Narrow(WinPath(unixPath)); }

static bool ImageFromRgba(unsigned char* data, int w, int h, Image& image);

bool LoadPng(const std::string& unixPath, Image& image)
{
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(Utf8WinPath(unixPath).c_str(), &w, &h, &n, 4);
    return ImageFromRgba(data, w, h, image);
}

bool DecodePng(const std::vector<uint8_t>& bytes, Image& image)
{
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4);
    return ImageFromRgba(data, w, h, image);
}

// Takes stb's RGBA pixels (and frees them); false for none.
static bool ImageFromRgba(unsigned char* data, int w, int h, Image& image)
{
    if (!data)
        return false;
    image.width = w;
    image.height = h;
    image.pixels.resize(size_t(w) * h);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const unsigned char* p = data + i * 4;
        image.pixels[i] =
            (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    stbi_image_free(data);
    return true;
}

bool SavePng(const std::string& unixPath, const Image& image)
{
    std::vector<unsigned char> rgba(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t v = image.pixels[i];
        rgba[i * 4 + 0] = uint8_t(v >> 16);
        rgba[i * 4 + 1] = uint8_t(v >> 8);
        rgba[i * 4 + 2] = uint8_t(v);
        rgba[i * 4 + 3] = uint8_t(v >> 24);
    }
    return stbi_write_png(Utf8WinPath(unixPath).c_str(), image.width, image.height, 4, rgba.data(),
                          image.width * 4) != 0;
}

static bool ReadLines(const std::string& unixPath, std::vector<std::string>& lines)
{
    std::ifstream in(WinPath(unixPath).c_str());
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return true;
}

static std::vector<POINT> ReadPoints(std::istringstream& in)
{
    std::vector<POINT> points;
    long x, y;
    while (in >> x >> y)
        points.push_back(POINT{x, y});
    return points;
}

// One line per step, made by the runner from a scene file:
//   source PATH | select X Y W H | family columns|rows | stroke X Y ... | rdrag X0 Y0 X1 Y1
//   refine | clear
bool ReplayScript(App& app, const std::string& unixPath)
{
    std::vector<std::string> lines;
    if (!Check(ReadLines(unixPath, lines), "cannot read the replay script %s", unixPath.c_str()))
        return false;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "source") {
            std::string path;
            std::getline(in >> std::ws, path);
            if (path == "-")
                continue;
            Image image;
            if (!LoadPng(path, image)) {
                // An undecodable source draws nothing, as no source does.
                Note("note: the source %s does not decode: nothing is pasted", path.c_str());
                continue;
            }
            if (gSourceByDialog) {
                if (!OpenImageThroughMenu(app, 32784, WinPath(path)))
                    return false;
                continue;
            }
            if (!PutBitmapOnClipboard(image))
                return false;
            Key(app, 'V', app.source);
        } else if (verb == "select") {
            long x, y, w, h;
            in >> x >> y >> w >> h;
            RubberBand(app, POINT{x, y}, POINT{x + w, y + h});
        } else if (verb == "family") {
            std::string which;
            in >> which;
            Key(app, which == "rows" ? 'T' : 'H', app.result);
        } else if (verb == "stroke") {
            Stroke(app, ReadPoints(in));
        } else if (verb == "rdrag") {
            std::vector<POINT> p = ReadPoints(in);
            if (!Check(p.size() == 2, "bad rdrag line: %s", line.c_str()))
                return false;
            RightDrag(app, p[0], p[1]);
        } else if (verb == "refine") {
            Key(app, 'W', app.result);
        } else if (verb == "clear") {
            Key(app, VK_DELETE, app.result);
        } else {
            return Check(false, "unknown replay step: %s", line.c_str());
        }
    }
    return true;
}

// "canvas W H", then "column X Y ...", "row X Y ..." and "node X Y" lines.
bool LoadMesh(const std::string& unixPath, SceneMesh& mesh)
{
    std::vector<std::string> lines;
    if (!Check(ReadLines(unixPath, lines), "cannot read the mesh %s", unixPath.c_str()))
        return false;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "canvas")
            in >> mesh.canvasWidth >> mesh.canvasHeight;
        else if (verb == "column")
            mesh.columns.push_back(SceneCurve{ReadPoints(in)});
        else if (verb == "row")
            mesh.rows.push_back(SceneCurve{ReadPoints(in)});
        else if (verb == "node") {
            std::vector<POINT> p = ReadPoints(in);
            if (p.size() == 1)
                mesh.nodes.push_back(p[0]);
        }
    }
    return true;
}

static void ReportMismatches(const char* what, long bad, long total, int x, int y, uint32_t got,
                             uint32_t want)
{
    Check(bad == 0, "%s: %ld of %ld pixels differ; first at (%d, %d): got 0x%08X, expected 0x%08X",
          what, bad, total, x, y, got, want);
}

static bool CheckDibHeader(const std::vector<uint8_t>& block, int w, int h, const char* what)
{
    // BITMAPINFOHEADER then one zero colour entry: 44 bytes.
    uint8_t header[44] = {};
    auto put32 = [&](int at, uint32_t v) { std::memcpy(header + at, &v, 4); };
    put32(0, 40);
    put32(4, uint32_t(w));
    put32(8, uint32_t(h));
    header[12] = 1;
    header[14] = 32;
    bool same = block.size() >= 44 && std::equal(header, header + 44, block.begin());
    if (!same && block.size() >= 44) {
        std::string hex;
        for (int i = 0; i < 44; ++i) {
            char b[4];
            std::snprintf(b, sizeof b, "%02x", block[size_t(i)]);
            hex += b;
        }
        Note("  block header: %s", hex.c_str());
    }
    Check(same, "%s: the clipboard block's 44-byte header is not the expected one for %dx%d", what,
          w, h);
    size_t wantSize = 44 + size_t(w) * h * 4;
    Check(block.size() == wantSize, "%s: clipboard block of %zu bytes, expected %zu", what,
          block.size(), wantSize);
    return same && block.size() == wantSize;
}

bool CheckCopyEquals(App& app, const Image& expected, const char* what, UINT vk)
{
    int before = gFailures;
    std::vector<uint8_t> block;
    if (!CopyResult(app, block, vk))
        return false;
    Image got;
    std::string why;
    if (!Check(DibToImage(block, got, why), "%s: the copied block is malformed: %s", what,
               why.c_str()))
        return false;
    CheckDibHeader(block, expected.width, expected.height, what);
    if (!Check(got.width == expected.width && got.height == expected.height,
               "%s: copied image %dx%d, expected %dx%d", what, got.width, got.height,
               expected.width, expected.height))
        return false;
    long bad = 0;
    int bx = 0, by = 0;
    uint32_t bg = 0, bw = 0;
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x) {
            // All four bytes: a transparent pixel comes out black with a fourth byte of 0, an
            // opaque one as it is, its fourth byte 0xFF.
            uint32_t e = expected.At(x, y);
            uint32_t want = (e >> 24) == 0 ? 0x00000000u : e;
            if (got.At(x, y) != want && bad++ == 0) {
                bx = x, by = y, bg = got.At(x, y), bw = want;
            }
        }
    ReportMismatches((std::string(what) + ": copy").c_str(), bad, long(got.width) * got.height, bx,
                     by, bg, bw);
    if (bad)
        SavePng(OutPath(std::string("copy-") + what + ".png"), got);
    // Beside the block, a PNG that keeps the transparency, made when it is asked for.
    std::vector<uint8_t> png;
    Image fromPng;
    if (Check(ReadClipboardData(PngClipboardFormat(), png) && DecodePng(png, fromPng),
              "%s: the copy offers no \"PNG\" that decodes", what))
        CheckSameImage(fromPng, expected, (std::string(what) + ": clipboard PNG").c_str());
    return gFailures == before;
}

bool CheckSameImage(const Image& got, const Image& expected, const char* what)
{
    if (!Check(got.width == expected.width && got.height == expected.height,
               "%s: image %dx%d, expected %dx%d", what, got.width, got.height, expected.width,
               expected.height))
        return false;
    long bad = 0;
    int bx = 0, by = 0;
    uint32_t bg = 0, bw = 0;
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x)
            if (got.At(x, y) != expected.At(x, y) && bad++ == 0)
                bx = x, by = y, bg = got.At(x, y), bw = expected.At(x, y);
    ReportMismatches(what, bad, long(got.width) * got.height, bx, by, bg, bw);
    return bad == 0;
}

bool CheckSaveEquals(App& app, const Image& expected, const std::string& fileName, const char* what)
{
    std::string path = OutPath(fileName);
    DeleteFileW(WinPath(path).c_str());
    if (!SaveThroughDialog(app, WinPath(path), path))
        return false;
    Image got;
    // The encoder may still be writing: give the file a moment to become whole.
    if (!Check(WaitFor([&] { return LoadPng(path, got); }, 5000),
               "%s: the saved file %s does not decode as PNG", what, path.c_str()))
        return false;
    return CheckSameImage(got, expected, (std::string(what) + ": saved PNG").c_str());
}

// ---- ResultPane against the expected warp and the mesh -------------------------------------

namespace {

struct Overlay {
    int width, height;
    std::vector<uint8_t> covered;  // pixels an overlay may touch

    Overlay(int w, int h) : width(w), height(h), covered(size_t(w) * h, 0) {}
    void Box(int x0, int y0, int x1, int y1)
    {
        for (int y = std::max(0, y0); y <= std::min(height - 1, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(width - 1, x1); ++x)
                covered[size_t(y) * width + x] = 1;
    }
    bool At(int x, int y) const { return covered[size_t(y) * width + x] != 0; }
};

double SegmentDistance(double px, double py, POINT a, POINT b)
{
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    double ex = a.x + t * dx - px, ey = a.y + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

void CoverSegment(Overlay& o, POINT a, POINT b, double radius)
{
    int x0 = int(std::min(a.x, b.x) - radius - 1), x1 = int(std::max(a.x, b.x) + radius + 1);
    int y0 = int(std::min(a.y, b.y) - radius - 1), y1 = int(std::max(a.y, b.y) + radius + 1);
    for (int y = std::max(0, y0); y <= std::min(o.height - 1, y1); ++y)
        for (int x = std::max(0, x0); x <= std::min(o.width - 1, x1); ++x)
            if (SegmentDistance(x, y, a, b) <= radius)
                o.covered[size_t(y) * o.width + x] = 1;
}

// Index labels: "0".."19" at 16 points, top-left at the curve's first point, with a halo.
constexpr int kLabelWidth = 48;
constexpr int kLabelHeight = 32;

}  // namespace

bool CheckResultPane(App& app, const Image& expected, const SceneMesh& mesh, const char* what)
{
    int before = gFailures;
    Image shot = CaptureClient(app.result);
    SavePng(OutPath(std::string("result-pane-") + what + ".png"), shot);
    int w = std::min(shot.width, expected.width), h = std::min(shot.height, expected.height);
    if (!Check(w > 0 && h > 0, "%s: nothing to compare (pane %dx%d, canvas %dx%d)", what,
               shot.width, shot.height, expected.width, expected.height))
        return false;
    bool drawOverlays = mesh.columns.size() < 100 && mesh.rows.size() < 100;
    bool drawNodes = mesh.columns.size() < 16 && mesh.rows.size() < 16;
    Overlay any(shot.width, shot.height);
    any.Box(0, 0, 140, 40);  // the zoom label "1.000000"
    auto coverFamily = [&](const std::vector<SceneCurve>& set) {
        for (const SceneCurve& c : set) {
            if (c.points.empty())
                continue;
            if (set.size() < 20)
                any.Box(c.points[0].x - 2, c.points[0].y - 2, c.points[0].x + kLabelWidth,
                        c.points[0].y + kLabelHeight);
            for (size_t i = 0; i < c.points.size(); ++i) {
                any.Box(c.points[i].x - 3, c.points[i].y - 3, c.points[i].x + 3, c.points[i].y + 3);
                if (i > 0)
                    CoverSegment(any, c.points[i - 1], c.points[i], 3.0);
            }
        }
    };
    if (drawOverlays) {
        coverFamily(mesh.columns);
        coverFamily(mesh.rows);
        if (drawNodes)
            for (POINT n : mesh.nodes)
                any.Box(n.x - 3, n.y - 3, n.x + 3, n.y + 3);
    }

    // The warp and the background away from every overlay.
    long bad = 0, compared = 0;
    int bx = 0, by = 0;
    uint32_t bg = 0, bw = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (any.At(x, y))
                continue;
            ++compared;
            uint32_t e = expected.At(x, y);
            uint32_t want = (e >> 24) == 0 ? kBlack : Rgb(e);
            if (Rgb(shot.At(x, y)) != want && bad++ == 0)
                bx = x, by = y, bg = Rgb(shot.At(x, y)), bw = want;
        }
    ReportMismatches((std::string(what) + ": ResultPane warp and background").c_str(), bad,
                     compared, bx, by, bg, bw);
    // Outside the canvas, inside the pane: black.
    long outside = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if ((x >= expected.width || y >= expected.height) && !any.At(x, y) &&
                Rgb(shot.At(x, y)) != kBlack)
                ++outside;
    Check(outside == 0, "%s: %ld pixels beyond the canvas are not black", what, outside);
    if (!drawOverlays)
        return gFailures == before;

    // The overlays themselves: every curve point is a red dot on top of everything but the
    // zoom label; nodes are white where no point lies; each segment's middle shows its
    // family's colour where nothing else is near.
    auto inPane = [&](POINT p) {
        return p.x >= 0 && p.y >= 0 && p.x < shot.width && p.y < shot.height;
    };
    auto inZoomLabel = [](POINT p) { return p.x <= 140 && p.y <= 40; };
    long redBad = 0, redTotal = 0;
    for (const auto* set : {&mesh.columns, &mesh.rows})
        for (const SceneCurve& c : *set)
            for (POINT p : c.points)
                if (inPane(p) && !inZoomLabel(p)) {
                    ++redTotal;
                    if (Rgb(shot.At(p.x, p.y)) != kRed && redBad++ == 0)
                        Note("  curve point (%ld, %ld) shows 0x%06X", p.x, p.y,
                             Rgb(shot.At(p.x, p.y)));
                }
    Check(redBad == 0, "%s: %ld of %ld curve points are not red", what, redBad, redTotal);

    auto nearPoint = [&](POINT n, int r) {
        for (const auto* set : {&mesh.columns, &mesh.rows})
            for (const SceneCurve& c : *set)
                for (POINT p : c.points)
                    if (std::abs(p.x - n.x) <= r && std::abs(p.y - n.y) <= r)
                        return true;
        return false;
    };
    long whiteBad = 0, whiteTotal = 0;
    if (drawNodes)
        for (POINT n : mesh.nodes)
            if (inPane(n) && !inZoomLabel(n) && !nearPoint(n, 2)) {
                ++whiteTotal;
                if (Rgb(shot.At(n.x, n.y)) != kWhite && whiteBad++ == 0)
                    Note("  node (%ld, %ld) shows 0x%06X", n.x, n.y, Rgb(shot.At(n.x, n.y)));
            }
    if (!drawNodes)
        for (POINT n : mesh.nodes)
            if (inPane(n) && !inZoomLabel(n) && !nearPoint(n, 2) &&
                Rgb(shot.At(n.x, n.y)) == kWhite) {
                ++whiteBad;
                Note("  node (%ld, %ld) is drawn although a family holds 16 curves or more", n.x,
                     n.y);
            }
    Check(whiteBad == 0, "%s: %ld of %ld nodes wrongly drawn", what, whiteBad, whiteTotal);

    long lineBad = 0, lineTotal = 0;
    auto checkLines = [&](const std::vector<SceneCurve>& set, uint32_t colour, bool isColumns) {
        for (size_t ci = 0; ci < set.size(); ++ci) {
            const SceneCurve& c = set[ci];
            for (size_t i = 1; i < c.points.size(); ++i) {
                POINT a = c.points[i - 1], b = c.points[i];
                if (std::abs(b.x - a.x) + std::abs(b.y - a.y) < 12)
                    continue;
                POINT m{(a.x + b.x) / 2, (a.y + b.y) / 2};
                if (!inPane(m) || inZoomLabel(m))
                    continue;
                // Anything else drawn within 5 pixels makes the sample ambiguous.
                bool crowded = nearPoint(m, 5);
                for (POINT n : mesh.nodes)
                    crowded = crowded ||
                              (drawNodes && std::abs(n.x - m.x) <= 5 && std::abs(n.y - m.y) <= 5);
                for (const auto* other : {&mesh.columns, &mesh.rows}) {
                    for (size_t oi = 0; oi < other->size() && !crowded; ++oi) {
                        const SceneCurve& oc = (*other)[oi];
                        if (oc.points.empty())
                            continue;
                        if (other->size() < 20 && m.x >= oc.points[0].x - 3 &&
                            m.x <= oc.points[0].x + kLabelWidth + 1 && m.y >= oc.points[0].y - 3 &&
                            m.y <= oc.points[0].y + kLabelHeight + 1)
                            crowded = true;
                        bool same = other == (isColumns ? &mesh.columns : &mesh.rows) && oi == ci;
                        if (same)
                            continue;
                        for (size_t k = 1; k < oc.points.size() && !crowded; ++k)
                            crowded =
                                SegmentDistance(m.x, m.y, oc.points[k - 1], oc.points[k]) < 5.0;
                    }
                }
                if (crowded)
                    continue;
                ++lineTotal;
                if (Rgb(shot.At(m.x, m.y)) != colour && lineBad++ < 3)
                    Note("  %s curve %zu, segment %zu: middle (%ld, %ld) shows 0x%06X, expected "
                         "0x%06X",
                         isColumns ? "column" : "row", ci, i, m.x, m.y, Rgb(shot.At(m.x, m.y)),
                         colour);
            }
        }
    };
    checkLines(mesh.columns, kGreen, true);
    checkLines(mesh.rows, kBlue, false);
    Check(lineBad == 0, "%s: %ld of %ld segment middles do not show their family's colour", what,
          lineBad, lineTotal);
    return gFailures == before;
}
