// The PNG reader fed any bytes, with the alpha dropped and kept: a refusal
// says why, and what it accepts is a whole image that survives the writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "pictures/picture_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const Alpha alpha : {Alpha::kDropped, Alpha::kKept}) {
    Image image, back;
    std::string error;
    if (!DecodePng(std::span(data, size), image, &error, alpha)) {
      if (error.empty()) std::abort();
      continue;
    }
    if (!image.Whole()) std::abort();
    if (alpha == Alpha::kDropped &&
        (!DecodePng(EncodePng(image), back, &error) || back.pixels != image.pixels))
      std::abort();
  }
  return 0;
}
