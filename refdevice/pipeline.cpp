#include "refdevice/pipeline.h"

#include <algorithm>
#include <vector>

#include "refdevice/clip_stage.h"
#include "refdevice/draw_description.h"
#include "refdevice/rasterizer.h"
#include "refdevice/setup_stage.h"
#include "refdevice/vertex_stage.h"

namespace refdev {

namespace {

// Primitives per pass through the stages (even, for strip parity).
constexpr UINT kChunk = 4096;

}  // namespace

struct Pipeline::Impl {
  explicit Impl(Rasterizer& r) : out(r) {}

  Rasterizer& out;
  DrawDescription draw;
  VertexStage vs;
  ClipStage clip;
  SetupStage setup;
  std::vector<Vertex> vertices;
  Vertex hub{};  // first vertex of a fan

  void Assemble(D3DPRIMITIVETYPE type, UINT count);
  void Hand();
};

Pipeline::Pipeline(Rasterizer& out) : impl_(std::make_unique<Impl>(out)) {}
Pipeline::~Pipeline() = default;

void Pipeline::Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT count,
                    const std::uint8_t* data, UINT stride) {
  Impl& m = *impl_;
  m.vs.Begin(state);
  BuildDrawDescription(state, m.vs, m.draw);
  m.setup.Begin(m.draw, state.rs[D3DRS_CULLMODE], state.rs[D3DRS_FILLMODE]);
  m.clip.Begin(state, m.vs, m.draw.viewport, m.setup);
  m.out.BeginDraw(m.draw);

  // Primitives go through the stages in chunks, so that the buffers stay
  // small whatever the draw's size; pixels see the primitives in order.
  const auto vertexAt = [&](UINT i) { return data + static_cast<std::size_t>(i) * stride; };
  if (type == D3DPT_TRIANGLEFAN) m.vs.Process(vertexAt(0), m.hub);
  for (UINT done = 0; done < count;) {
    const UINT n = std::min(kChunk, count - done);
    UINT first = 0, used = 0;
    switch (type) {
      case D3DPT_POINTLIST:
        first = done;
        used = n;
        break;
      case D3DPT_LINELIST:
        first = 2 * done;
        used = 2 * n;
        break;
      case D3DPT_LINESTRIP:
        first = done;
        used = n + 1;
        break;
      case D3DPT_TRIANGLELIST:
        first = 3 * done;
        used = 3 * n;
        break;
      case D3DPT_TRIANGLESTRIP:
        first = done;
        used = n + 2;
        break;
      default:
        first = done + 1;
        used = n + 1;
        break;  // fan: after the hub
    }
    if (m.vertices.size() < used) m.vertices.resize(used);
    m.vs.ProcessMany(vertexAt(first), stride, used, m.vertices.data());
    m.setup.Reset();
    m.Assemble(type, n);
    m.Hand();
    done += n;
  }
}

void Pipeline::Impl::Assemble(D3DPRIMITIVETYPE type, UINT count) {
  const Vertex* v = vertices.data();
  switch (type) {
    case D3DPT_TRIANGLELIST:
      for (UINT i = 0; i < count; ++i)
        clip.Triangle(v[3 * i], v[3 * i + 1], v[3 * i + 2], v[3 * i]);
      break;
    case D3DPT_TRIANGLESTRIP:
      // Odd triangles are taken in reversed order so every triangle of the strip
      // keeps the winding of the first; the flat colour is still the first
      // vertex of each triangle. Chunks hold an even number of triangles, so
      // the parity here is the strip's.
      for (UINT i = 0; i < count; ++i) {
        if (i % 2 == 0)
          clip.Triangle(v[i], v[i + 1], v[i + 2], v[i]);
        else
          clip.Triangle(v[i + 1], v[i], v[i + 2], v[i]);
      }
      break;
    case D3DPT_TRIANGLEFAN:
      // The hub is kept apart; v holds the vertices after it.
      for (UINT i = 0; i < count; ++i) clip.Triangle(hub, v[i], v[i + 1], v[i]);
      break;
    case D3DPT_LINELIST:
      for (UINT i = 0; i < count; ++i) clip.Line(v[2 * i], v[2 * i + 1]);
      break;
    case D3DPT_LINESTRIP:
      for (UINT i = 0; i < count; ++i) clip.Line(v[i], v[i + 1]);
      break;
    case D3DPT_POINTLIST:
      for (UINT i = 0; i < count; ++i) clip.Point(v[i]);
      break;
  }
}

void Pipeline::Impl::Hand() {
  const auto& t = setup.Triangles();
  const auto& l = setup.Lines();
  const auto& p = setup.Points();
  if (!t.empty()) out.Triangles(t.data(), t.size());
  if (!l.empty()) out.Lines(l.data(), l.size());
  if (!p.empty()) out.Points(p.data(), p.size());
}

}  // namespace refdev
