// Scenes replayed on the hardware device without a display, for the replay
// tool and the tests that hold it against the reference device.
#pragma once

#include <string>

#include "pictures/image.h"
#include "scene/scene.h"

// Replays `scene` on a hardware device over a surfaceless context (any 3.3
// renderer) and reads the back buffer after the last line.
bool ReplayOnGlDevice(const scene::Scene& scene, Image& image, std::string* error);
