// Saving a scene with its images beside it, in the order that keeps an interrupted save from
// mixing two states: new images first under names of their own, the scene file last.
#include "scene/scene_save.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "scene/image_files.h"
#include "scene/scene_file.h"

namespace fs = std::filesystem;

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& ending)
{
    if (s.size() < ending.size())
        return false;
    for (size_t i = 0; i < ending.size(); ++i) {
        char c = s[s.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != ending[i])
            return false;
    }
    return true;
}

bool StartsWith(const std::string& s, const std::string& start)
{
    return s.compare(0, start.size(), start) == 0;
}

// The scene's file name without .scene.json or .json.
std::string SceneStem(const fs::path& scenePath)
{
    std::string name = Utf8FromPath(scenePath.filename());
    for (const char* ending : {".scene.json", ".json"}) {
        if (EndsWithNoCase(name, ending)) {
            name.resize(name.size() - std::char_traits<char>::length(ending));
            break;
        }
    }
    return name;
}

// 64-bit FNV-1a over the size and the pixels, each word as its four bytes from the lowest, so
// that every platform names the same pixels alike.
uint64_t PixelHash(const PixelImage& image)
{
    uint64_t h = 0xCBF29CE484222325u;
    auto word = [&](uint32_t w) {
        for (int shift = 0; shift < 32; shift += 8) {
            h ^= (w >> shift) & 0xFFu;
            h *= 0x100000001B3u;
        }
    };
    word(image.width);
    word(image.height);
    for (uint32_t p : image.pixels)
        word(p);
    return h;
}

bool SamePixels(const PixelImage& a, const PixelImage& b)
{
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// The folder a scene's relative names are taken from.
fs::path SceneFolder(const fs::path& scenePath)
{
    fs::path folder = scenePath.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Puts `image` into `folder` under `name`, or under the name with "-1", "-2" ... added when a
// file of that name holds other pixels; a file that already holds these pixels is used as it
// is. `name` becomes the one used, and `written` tells whether a file was made.
bool PlaceImage(const fs::path& folder, std::string& name, const PixelImage& image, bool& written)
{
    written = false;
    const std::string base = name.substr(0, name.size() - 4);  // without ".png"
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            attempt == 0 ? name : base + "-" + std::to_string(attempt) + ".png";
        const fs::path path = folder / PathFromUtf8(candidate);
        std::error_code ec;
        if (fs::exists(path, ec) || ec) {
            std::vector<unsigned char> bytes;
            PixelImage there;
            std::string failure;
            if (!ec && ReadWholeFile(path, bytes) && DecodeImage(bytes, there, failure) &&
                SamePixels(there, image)) {
                name = candidate;
                return true;
            }
            continue;  // never overwritten: another scene may name it
        }
        PixelImage spent = image;  // the encoder turns its pixels into bytes in place
        std::vector<unsigned char> png;
        if (!EncodePngConsuming(spent, png) || !WriteWholeFile(path, png))
            return false;
        name = candidate;
        written = true;
        return true;
    }
    return false;
}

// The images the scene now at `scenePath` names that are its own: plain names in its folder
// made as SceneImageName makes them. Images it names otherwise may belong to others.
std::vector<std::string> OwnImagesOf(const fs::path& scenePath)
{
    std::vector<std::string> own;
    std::error_code ec;
    if (!fs::is_regular_file(scenePath, ec))
        return own;
    Scene old;
    std::string refusal;
    if (!ReadSceneFile(scenePath, std::string(), old, refusal))
        return own;
    const std::string stem = SceneStem(scenePath);
    for (const auto& [name, key] :
         {std::pair{old.source, ".source."}, std::pair{old.backdrop, ".backdrop."}}) {
        if (name && StartsWith(*name, stem + key) && EndsWithNoCase(*name, ".png") &&
            PathFromUtf8(*name).filename() == PathFromUtf8(*name))
            own.push_back(*name);
    }
    return own;
}

}  // namespace

fs::path SceneSavePath(const fs::path& chosen)
{
    if (EndsWithNoCase(Utf8FromPath(chosen.filename()), ".json"))
        return chosen;
    fs::path path = chosen;
    path += ".scene.json";
    return path;
}

std::string SceneImageName(const fs::path& scenePath, const char* key, const PixelImage& image)
{
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(PixelHash(image)));
    return SceneStem(scenePath) + "." + key + "." + hash + ".png";
}

bool SaveSceneFiles(const fs::path& scenePath, const MeshEditState& e, const PixelImage& source,
                    const PixelImage& backdrop)
{
    std::vector<fs::path> made;  // removed again when the scene itself cannot be written
    auto undoMade = [&] {
        std::error_code ec;
        for (const fs::path& p : made)
            fs::remove(p, ec);
    };
    try {
        const fs::path folder = SceneFolder(scenePath);
        const std::vector<std::string> oldImages = OwnImagesOf(scenePath);
        std::optional<std::string> names[2];
        const PixelImage* images[2] = {&source, &backdrop};
        const char* keys[2] = {"source", "backdrop"};
        for (int i = 0; i < 2; ++i) {
            if (images[i]->pixels.empty())
                continue;
            std::string name = SceneImageName(scenePath, keys[i], *images[i]);
            bool written = false;
            if (!PlaceImage(folder, name, *images[i], written)) {
                undoMade();
                return false;
            }
            if (written)
                made.push_back(folder / PathFromUtf8(name));
            names[i] = name;
        }
        if (!WriteFileThrough(scenePath,
                              [&](std::ostream& out) { WriteScene(out, e, names[0], names[1]); })) {
            undoMade();
            return false;
        }
        made.clear();  // the new scene names them now
        for (const std::string& old : oldImages) {
            if (old != names[0] && old != names[1]) {
                std::error_code ec;
                fs::remove(folder / PathFromUtf8(old), ec);
            }
        }
        return true;
    } catch (const std::exception&) {  // memory, the file system, a name not in UTF-8
    }
    undoMade();
    return false;
}
