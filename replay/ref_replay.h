// Scenes replayed on a headless reference device and read back as pictures:
// what the replay tool and the device's golden tests draw with.
#pragma once

#include <string>

#include "pictures/image.h"
#include "scene/scene.h"

namespace scene {

// Creates the device of `type` on a headless reference Direct3D object,
// replays the scene and reads the back buffer after the last line.
bool ReplayToImage(const Scene& scene, D3DDEVTYPE type, Image& image, std::string* error);

}  // namespace scene
