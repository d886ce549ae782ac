// Clipping and the viewport transform: primitives from the vertex stage are
// clipped in clip space (near, far, w and a guard band around the viewport;
// pre-transformed ones against a guard band on the screen), projected to the
// screen and handed to triangle set-up. A clipped triangle goes on as a fan.
#pragma once

#include "refdevice/resources/device_state.h"
#include "refdevice/front/setup_stage.h"
#include "refdevice/front/vertex_stage.h"

namespace refdev {

class ClipStage {
 public:
  // Per draw: `out` receives the draw's screen-space primitives.
  void Begin(const DeviceState& state, const VertexStage& vs, const PixelRect& viewport,
             SetupStage& out);

  // `flat`: the vertex whose colours flat shading uses.
  void Triangle(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& flat);
  void Line(const Vertex& a, const Vertex& b);
  void Point(const Vertex& a);

 private:
  void Project(const Vertex& in, ScreenVertex& out) const;
  void ScreenFromPretransformed(const Vertex& in, ScreenVertex& out) const;
  void Fan(const ScreenVertex* s, int n, const Vertex& flat);

  SetupStage* out_ = nullptr;
  bool pretransformed_ = false;
  int attrCount_ = kTex0;
  PixelRect viewport_;
  float vpX_ = 0, vpY_ = 0, vpW_ = 0, vpH_ = 0, minZ_ = 0, maxZ_ = 1;
};

}  // namespace refdev
