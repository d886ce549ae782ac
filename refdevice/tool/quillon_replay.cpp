// quillon-replay: replays a scene of Direct3D 8 device calls and writes the
// back buffer after its last line as an image.
#include <cstdio>
#include <cstring>
#include <string>

#include "gldevice/gl_replay.h"
#include "refdevice/image_io.h"
#include "refdevice/scene.h"

namespace {

const char kUsage[] =
    "usage: quillon-replay [--device ref|hal] SCENE OUT\n"
    "\n"
    "Replays the device calls in SCENE and writes the back buffer after the\n"
    "last line to OUT, as PNG (.png) or binary PPM (.ppm).\n"
    "\n"
    "  --device ref   the reference (software) device; the default\n"
    "  --device hal   the hardware device (OpenGL 3.3 without a display; any\n"
    "                 renderer, software included)\n"
    "\n"
    "The device is windowed, 640x480 X8R8G8B8 with a D16 automatic depth\n"
    "buffer and every state at its default. BeginScene is called before the\n"
    "first draw, EndScene after the last line.\n"
    "\n"
    "Scene format: one command a line; '#' starts a comment; blank lines are\n"
    "ignored; words are separated by spaces or tabs. Integers are decimal or\n"
    "0x hex, 0 to 0xFFFFFFFF. Floats are decimal (1, -0.5, 2.5e-3, inf, nan)\n"
    "or 0x hex giving the single's bit pattern (0x3F800000 = 1.0). FILE is one\n"
    "word, relative to the scene's folder.\n"
    "\n"
    "  clear FLAGS COLOR Z [STENCIL]     Clear(0, none, FLAGS, COLOR, Z, STENCIL or 0)\n"
    "  rs STATE VALUE                    SetRenderState(STATE, VALUE)\n"
    "  rsf STATE FLOAT                   SetRenderState(STATE, FLOAT's bit pattern)\n"
    "  ts STAGE STATE VALUE              SetTextureStageState(STAGE, STATE, VALUE)\n"
    "  fvf CODE                          SetVertexShader(CODE); format of later buffers\n"
    "  world|view|proj F1 .. F16         SetTransform with the matrix, row by row\n"
    "  vb STRIDE PRIMTYPE PRIMCOUNT FILE a vertex buffer of FILE's size (usage 0,\n"
    "                                    the current format, default pool) filled\n"
    "                                    with FILE's bytes, bound to stream 0 with\n"
    "                                    STRIDE, then DrawPrimitive(PRIMTYPE, 0,\n"
    "                                    PRIMCOUNT)\n"
    "  up STRIDE PRIMTYPE PRIMCOUNT FILE DrawPrimitiveUP(PRIMTYPE, PRIMCOUNT, FILE's\n"
    "                                    bytes, STRIDE); FILE must hold every vertex\n"
    "                                    the draw reads\n"
    "\n"
    "PRIMTYPE: 1 points, 2 line list, 3 line strip, 4 triangle list,\n"
    "5 triangle strip, 6 triangle fan.\n"
    "\n"
    "The whole scene and its files are read and checked first: a malformed\n"
    "line is reported as SCENE:LINE: reason, and nothing is written. A device\n"
    "call that fails is reported with its line, and nothing is written.\n"
    "Exit status: 0 done, 1 failed, 2 bad arguments.\n";

bool HasImageExtension(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".png" || ext == ".ppm";
}

}  // namespace

int main(int argc, char** argv) {
  D3DDEVTYPE type = D3DDEVTYPE_REF;
  const char* positional[2] = {nullptr, nullptr};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(arg, "--device") == 0) {
      if (i + 1 >= argc) {
        std::fputs("quillon-replay: --device needs ref or hal\n", stderr);
        return 2;
      }
      const char* which = argv[++i];
      if (std::strcmp(which, "ref") == 0) {
        type = D3DDEVTYPE_REF;
      } else if (std::strcmp(which, "hal") == 0) {
        type = D3DDEVTYPE_HAL;
      } else {
        std::fprintf(stderr, "quillon-replay: unknown device '%s' (ref or hal)\n", which);
        return 2;
      }
      continue;
    }
    if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "quillon-replay: unknown option '%s'\n", arg);
      return 2;
    }
    if (count == 2) {
      std::fputs("quillon-replay: too many arguments\n", stderr);
      return 2;
    }
    positional[count++] = arg;
  }
  if (count != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string scenePath = positional[0];
  const std::string outPath = positional[1];
  if (!HasImageExtension(outPath)) {
    std::fprintf(stderr, "quillon-replay: %s: OUT must end in .png or .ppm\n", outPath.c_str());
    return 2;
  }

  std::string error;
  scene::Scene parsed;
  if (!scene::LoadScene(scenePath, parsed, &error)) {
    std::fprintf(stderr, "quillon-replay: %s\n", error.c_str());
    return 1;
  }
  Image image;
  const bool replayed = type == D3DDEVTYPE_HAL ? ReplayOnGlDevice(parsed, image, &error)
                                               : scene::ReplayToImage(parsed, type, image, &error);
  if (!replayed) {
    // Device-call failures carry their line number.
    const bool hasLine = !error.empty() && error[0] >= '0' && error[0] <= '9';
    std::fprintf(stderr, "quillon-replay: %s%s%s\n", hasLine ? scenePath.c_str() : "",
                 hasLine ? ":" : "", error.c_str());
    return 1;
  }
  if (!WriteImage(outPath, image, &error)) {
    std::fprintf(stderr, "quillon-replay: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
