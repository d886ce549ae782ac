// The front end of the device: for each draw it builds the draw's
// description, fetches and transforms the vertices (vertex stage), assembles
// primitives, clips them (clip stage) and sets them up (set-up stage), and
// hands description and primitives to a rasterizer. Its buffers grow to the
// largest chunk seen and are then reused, so steady drawing allocates nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "d3dfront/fvf_layout.h"
#include "refdevice/resources/device_state.h"

namespace refdev {

class Rasterizer;

class Pipeline {
 public:
  // `out` must outlive the pipeline.
  explicit Pipeline(Rasterizer& out);
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Draws `primitiveCount` primitives from the vertices at `data`, `stride`
  // bytes apart. The caller has checked that the data holds every vertex the
  // primitives read.
  void Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT primitiveCount,
            const std::uint8_t* data, UINT stride);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

using d3dfront::DecodeFvf;
using d3dfront::FvfLayout;

}  // namespace refdev
