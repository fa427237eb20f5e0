// Prints the refusal of a scene file as the program's message box words it, through the
// shared reading: "NAME: reason", exit 2; a scene that reads prints nothing, exit 0.
//   scene_refusal SCENE
#include <cstdio>
#include <string>

#include "scene/image_files.h"
#include "scene/scene_file.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    Scene scene;
    std::string refusal;
    if (ReadSceneFile(PathFromUtf8(argv[1]), argv[1], scene, refusal))
        return 0;
    std::printf("%s\n", refusal.c_str());
    return 2;
}
