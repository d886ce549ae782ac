// device-agreement: replays scenes on the reference device and on the
// hardware device (any OpenGL 3.3 renderer, no display needed) and prints,
// per scene, the share of pixels that differ (a channel more than one level
// apart: blending rounds differently on the two), the share that differ at
// all, and the largest channel difference away from triangle edges.
//
//   device-agreement SCENE...
//   device-agreement refdevice/testdata/*.scene replay/tool/scenes/*.scene
//
// The scenes beside this tool hold cases where the two devices once drifted
// apart (fog of pre-transformed vertices under a perspective projection).
//
// Exit status: 0 when every scene is within the limits of image_agreement.h
// (0.5% and 8 levels), 1 when one is not, 2 when a scene cannot be read or
// replayed.
#include <cstdio>
#include <string>

#include "replay/gl_replay.h"
#include "replay/image_agreement.h"
#include "replay/ref_replay.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: device-agreement SCENE...\n", stderr);
    return 2;
  }
  int status = 0;
  std::printf(
      "a pixel differs when a channel is more than %d level%s apart; limits %.1f%% and %d\n",
      kBlendRounding, kBlendRounding == 1 ? "" : "s", kMaxDifferingPercent, kMaxOffEdge);
  std::printf("%-40s %10s %10s %12s\n", "scene", "differing%", "any-diff%", "max-off-edge");
  for (int i = 1; i < argc; ++i) {
    std::string error;
    scene::Scene s;
    Image ref, hal;
    if (!scene::LoadScene(argv[i], s, &error) ||
        !scene::ReplayToImage(s, D3DDEVTYPE_REF, ref, &error) ||
        !ReplayOnGlDevice(s, hal, &error)) {
      std::fprintf(stderr, "device-agreement: %s: %s\n", argv[i], error.c_str());
      return 2;
    }
    const Agreement a = CompareAgreement(ref, hal);
    const bool ok = WithinLimits(a);
    std::printf("%-40s %10.3f %10.3f %12d%s\n", argv[i], a.differingPercent, a.anyDifferencePercent,
                a.maxAwayFromEdges, ok ? "" : "  OUT OF BOUNDS");
    if (!ok) status = 1;
  }
  return status;
}
