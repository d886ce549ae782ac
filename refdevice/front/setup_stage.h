// Triangle set-up: snaps screen-space triangles to the sub-pixel grid, culls
// them by their winding, and turns each survivor into a SetupTriangle (edge
// equations, bounding box, plane equations). In wireframe and point fill
// modes a triangle becomes lines or points instead. Lines and points are
// collected as they are. The buffers keep their memory from chunk to chunk.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "refdevice/draw/draw_description.h"
#include "refdevice/draw/setup_primitives.h"

namespace refdev {

class SetupStage {
 public:
  // Per draw: `d` must outlive the draw's primitives; `cull` and `fillMode`
  // are the D3DRS_CULLMODE and D3DRS_FILLMODE values.
  void Begin(const DrawDescription& d, DWORD cull, DWORD fillMode);

  // Triangle a, b, c in screen space. `flat` holds the diffuse and specular
  // colour (8 floats, not multiplied by rhw) flat shading uses. `edges` says
  // which of its edges lie on the outline of the primitive it came from (bit 0
  // a-b, bit 1 b-c, bit 2 c-a): the ones a wireframe draws.
  void Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                const float* flat, unsigned edges = 7);
  void Line(const ScreenVertex& a, const ScreenVertex& b, const float* flat);
  void Point(const ScreenVertex& v);

  // The primitives set up since the last Reset, in order.
  std::span<const SetupTriangle> Triangles() const { return {triangles_.data(), triangleCount_}; }
  const std::vector<SetupLine>& Lines() const { return lines_; }
  const std::vector<SetupPoint>& Points() const { return points_; }
  void Reset();
  // Room for `n` triangles, made before a chunk rather than as it fills, so
  // that a chunk with more visible triangles than any before allocates once
  // up front, not in a warm frame.
  void Reserve(std::size_t n) {
    if (triangles_.size() < n) triangles_.resize(n);
  }

 private:
  const DrawDescription* d_ = nullptr;
  DWORD cull_ = D3DCULL_CCW;
  DWORD fillMode_ = D3DFILL_SOLID;
  // Triangle records (some 450 bytes) are kept from chunk to chunk and
  // filled field by field rather than value-initialised each time; the
  // planes past the draw's interpCount, which nothing reads, keep whatever
  // they held.
  std::vector<SetupTriangle> triangles_;
  std::size_t triangleCount_ = 0;
  std::vector<SetupLine> lines_;
  std::vector<SetupPoint> points_;
};

}  // namespace refdev
