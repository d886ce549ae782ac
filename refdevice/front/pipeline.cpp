#include "refdevice/front/pipeline.h"

#include <algorithm>
#include <vector>

#include "refdevice/front/clip_stage.h"
#include "refdevice/front/describe_draw.h"
#include "refdevice/raster/rasterizer.h"
#include "refdevice/front/setup_stage.h"
#include "refdevice/raster/thread_pool.h"
#include "refdevice/front/vertex_stage.h"

namespace refdev {

namespace {

// Primitives per pass through the stages (even, for strip parity).
constexpr UINT kChunk = 4096;
// From this many primitives a draw's front end is split over the rasterizer's
// threads; below it a wake-up would cost more than it saves.
constexpr UINT kParallelPrimitives = 128;
// The smallest part worth a job of its own.
constexpr UINT kPartPrimitives = 64;

}  // namespace

// One thread's stages and buffers. Primitives are independent of one another
// past assembly, so a draw's primitives can be split into consecutive parts,
// each run through a lane of its own, and handed on part after part: the
// rasterizer sees exactly the sequence one lane would give.
struct Lane {
  VertexStage vs;
  ClipStage clip;
  SetupStage setup;
  std::vector<Vertex> vertices;
  Vertex hub{};  // first vertex of a fan

  // Per draw, its vertex stage already begun.
  void Begin(const DeviceState& state, const d3dfront::FixedFunction& ff,
             const DrawDescription& draw) {
    setup.Begin(draw, ff.cull, ff.fill);
    clip.Begin(state, vs, draw.viewport, setup);
  }

  // Runs primitives [done, done + n) (`done` even) through the stages.
  void Run(D3DPRIMITIVETYPE type, UINT done, UINT n, const std::uint8_t* data, UINT stride);
  void Assemble(D3DPRIMITIVETYPE type, UINT count);
  void Hand(Rasterizer& out) const;
};

struct Pipeline::Impl {
  explicit Impl(Rasterizer& r) : out(r) { lanes.push_back(std::make_unique<Lane>()); }

  Rasterizer& out;
  d3dfront::FixedFunction ff;
  DrawDescription draw;
  // Lanes keep their addresses: a clip stage points at its lane's stages.
  std::vector<std::unique_ptr<Lane>> lanes;
  std::vector<const SetupTriangle*> partTriangles;
  std::vector<std::size_t> partCounts;
};

Pipeline::Pipeline(Rasterizer& out) : impl_(std::make_unique<Impl>(out)) {}
Pipeline::~Pipeline() = default;

void Pipeline::Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT count,
                    const std::uint8_t* data, UINT stride) {
  Impl& m = *impl_;
  ThreadPool* pool = m.out.Pool();
  const int threads = pool && count >= kParallelPrimitives ? m.out.Threads() : 1;
  // A few parts per thread, so that a thread that wakes late still finds
  // some left rather than the caller doing its whole share alone.
  const int parts =
      threads <= 1 ? 1
                   : std::clamp(static_cast<int>(count / kPartPrimitives), threads, 4 * threads);
  while (m.lanes.size() < static_cast<std::size_t>(parts))
    m.lanes.push_back(std::make_unique<Lane>());

  Lane& first = *m.lanes[0];
  d3dfront::DecodeFixedFunction(state, m.ff);
  first.vs.Begin(state, m.ff);
  BuildDrawDescription(state, m.ff, first.vs, m.draw);
  m.out.BeginDraw(m.draw);
  for (int p = 0; p < parts; ++p) {
    Lane& lane = *m.lanes[static_cast<std::size_t>(p)];
    if (p > 0) lane.vs = first.vs;
    lane.Begin(state, m.ff, m.draw);
    if (type == D3DPT_TRIANGLEFAN) lane.vs.Process(data, lane.hub);
  }

  // Primitives go through the stages in rounds of `parts` consecutive parts,
  // each an even number of primitives and at most a chunk, so that the
  // buffers stay small whatever the draw's size; they are handed on in order.
  for (UINT done = 0; done < count;) {
    const UINT round = std::min(count - done, kChunk * static_cast<UINT>(parts));
    const UINT share = std::min(kChunk, (round / static_cast<UINT>(parts) + 2) & ~1u);
    auto runPart = [&](int job, int) {
      const UINT begin = std::min(round, share * static_cast<UINT>(job));
      const UINT end = std::min(round, begin + share);
      Lane& lane = *m.lanes[static_cast<std::size_t>(job)];
      lane.setup.Reset();
      if (end > begin) lane.Run(type, done + begin, end - begin, data, stride);
    };
    if (parts > 1)
      pool->Run(parts, threads, runPart);
    else
      runPart(0, 0);
    // Triangles alone (the usual case) go over all parts at once, which a
    // back end may bin on several threads.
    bool trianglesOnly = parts > 1;
    for (int p = 0; p < parts && trianglesOnly; ++p) {
      const SetupStage& s = m.lanes[static_cast<std::size_t>(p)]->setup;
      trianglesOnly = s.Lines().empty() && s.Points().empty();
    }
    if (trianglesOnly) {
      m.partTriangles.resize(static_cast<std::size_t>(parts));
      m.partCounts.resize(static_cast<std::size_t>(parts));
      for (int p = 0; p < parts; ++p) {
        const auto& t = m.lanes[static_cast<std::size_t>(p)]->setup.Triangles();
        m.partTriangles[static_cast<std::size_t>(p)] = t.data();
        m.partCounts[static_cast<std::size_t>(p)] = t.size();
      }
      m.out.TriangleParts(m.partTriangles.data(), m.partCounts.data(), parts);
    } else {
      for (int p = 0; p < parts; ++p) m.lanes[static_cast<std::size_t>(p)]->Hand(m.out);
    }
    done += round;
  }
}

void Lane::Run(D3DPRIMITIVETYPE type, UINT done, UINT n, const std::uint8_t* data, UINT stride) {
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
  if (vertices.size() < used) vertices.resize(used);
  vs.ProcessMany(data + static_cast<std::size_t>(first) * stride, stride, used, vertices.data());
  setup.Reset();
  // Every triangle primitive may survive culling; clipping may add more.
  if (type == D3DPT_TRIANGLELIST || type == D3DPT_TRIANGLESTRIP || type == D3DPT_TRIANGLEFAN)
    setup.Reserve(n);
  Assemble(type, n);
}

void Lane::Assemble(D3DPRIMITIVETYPE type, UINT count) {
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

void Lane::Hand(Rasterizer& out) const {
  const auto& t = setup.Triangles();
  const auto& l = setup.Lines();
  const auto& p = setup.Points();
  if (!t.empty()) out.Triangles(t.data(), t.size());
  if (!l.empty()) out.Lines(l.data(), l.size());
  if (!p.empty()) out.Points(p.data(), p.size());
}

}  // namespace refdev
