// The device calls both device fuzz targets decode from their input (vertex
// data and formats, strides, states, transforms, textures, draws of any
// count): a device must refuse or draw, never touch memory outside what it
// was handed; user-memory draws get exactly their bytes, on the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d8.h"

namespace fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Empty() const { return p_ >= end_; }
  std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  std::uint32_t Dword() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  float Float() {
    const std::uint32_t bits = Dword();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // Up to 256 bytes of the input, repeated to fill `out`.
  void Fill(std::vector<std::uint8_t>& out) {
    const std::size_t have = static_cast<std::size_t>(end_ - p_);
    const std::size_t take = have < 256 ? have : 256;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = take ? p_[i % take] : 0;
    p_ += take;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

// Makes a device of `type` with a small back buffer, its format and whether
// it has a depth buffer from the input's first four bytes, and plays up to 64
// calls from the rest on it, between BeginScene and EndScene.
void PlayOnNewDevice(const std::uint8_t* data, std::size_t size, Direct3D8& d3d, D3DDEVTYPE type);

}  // namespace fuzz
