// Saving the editor's state as a scene: its images as PNG files beside the scene file, then
// the scene file itself, so that a failure at any point leaves a scene that opens to the old
// state or to the new one, never to a mix of them.
#pragma once

#include <filesystem>
#include <string>

#include "mesh/editing.h"
#include "warp/pixel_buffer.h"

// The file a chosen name is saved as: a name without a .json ending gets .scene.json.
std::filesystem::path SceneSavePath(const std::filesystem::path& chosen);

// The file name of an image saved with the scene at `scenePath`: the scene's name without its
// ending, `key` ("source" or "backdrop") and a hash of the pixels, as "a.source.0123abcd....png".
std::string SceneImageName(const std::filesystem::path& scenePath, const char* key,
                           const PixelImage& image);

// Writes `e`'s selection, curves, grid and family as the scene at `scenePath`, with `source`
// and `backdrop` as PNG files beside it (an empty image is left out). An image file is never
// overwritten: one of the same name already holding the same pixels is used as it is. The
// scene file is replaced last, and then the images that the scene it replaced named after
// itself, and this one no longer names, are removed. False when a file could not be written.
bool SaveSceneFiles(const std::filesystem::path& scenePath, const MeshEditState& e,
                    const PixelImage& source, const PixelImage& backdrop);
