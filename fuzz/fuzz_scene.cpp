// The scene reader fed any text, and what it accepts replayed on a headless
// reference device, with a small folder of vertex files to name (any other
// path is refused unless a bounded regular file, so no run is endless).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "replay/ref_replay.h"
#include "scene/scene.h"

namespace {

// Vertex files of a few sizes: empty, a byte, one vertex of the common
// formats, a short strip, and more than a draw can use at once.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string templ =
        (std::filesystem::temp_directory_path() / "quillon-fuzz-scene-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    const std::size_t sizes[] = {0, 1, 12, 16, 24, 32, 96, 100, 512};
    const char* names[] = {"e.bin", "one.bin", "a.bin", "b.bin", "c.bin",
                           "d.bin", "f.bin",   "g.bin", "h.bin"};
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      std::ofstream out(std::filesystem::path(templ) / names[i], std::ios::binary);
      for (std::size_t b = 0; b < sizes[i]; ++b) out.put(static_cast<char>((b * 37 + 0x3F) & 0xFF));
    }
    return templ;
  }();
  return folder;
}

// Enough primitives to cover every rule, few enough to keep each run quick.
bool SmallEnough(const scene::Scene& s) {
  std::uint64_t primitives = 0;
  for (const scene::Command& c : s.commands)
    if (c.op == scene::Op::VertexBuffer || c.op == scene::Op::UserPointer) primitives += c.args[2];
  return s.commands.size() <= 64 && primitives <= 512;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  scene::Scene parsed;
  std::string error;
  if (!scene::ParseScene(text, Folder(), parsed, &error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  if (!SmallEnough(parsed)) return 0;
  Image image;
  if (!scene::ReplayToImage(parsed, D3DDEVTYPE_REF, image, &error) && error.empty()) std::abort();
  return 0;
}
