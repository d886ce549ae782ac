// The drawing pipeline: vertex stage (fetch, transform, lighting), primitive
// assembly with culling and clipping, set-up into screen-space primitives, and
// banded rasterization with the per-pixel stage. Its buffers grow to the
// largest draw seen and are then reused, so steady drawing allocates nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "refdevice/device_state.h"

namespace refdev {

class Pipeline {
 public:
  Pipeline();
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Draws `primitiveCount` primitives from `vertexCount` vertices at `data`,
  // `stride` bytes apart. The caller has checked the counts against the data.
  void Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT primitiveCount,
            const std::uint8_t* data, UINT vertexCount, UINT stride);

  // 1 or 2 rasterizing threads.
  void SetThreads(int threads);
  int Threads() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Byte layout of a flexible vertex format.
struct FvfLayout {
  bool valid = false;
  bool pretransformed = false;  // XYZRHW
  int position = 0;
  int diffuse = -1;
  int specular = -1;
  int texCount = 0;
  int tex[8] = {};
  int texDims[8] = {};
  int size = 0;
};
FvfLayout DecodeFvf(DWORD fvf);

}  // namespace refdev
