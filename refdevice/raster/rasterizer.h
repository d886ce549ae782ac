// The rasterizer interface: the back half of the device. The front end hands
// it clears, draw descriptions and set-up primitives in the order the
// application issued them; the rasterizer turns them into pixels of the render
// target and depth buffer, which must be exactly what the band rasterizer
// (the straightforward oracle) produces, whatever the back end and its thread
// count.
//
// A back end may defer work: it copies what it keeps (descriptions,
// primitives, clear values) before a call returns, and the caller reuses its
// buffers afterwards. Until Finish returns, the surfaces and textures a
// description or clear refers to must stay alive and unchanged: the device
// calls Finish before it presents, before anyone reads its buffers, when a
// scene ends and before a bound texture is replaced. (A texture locked and
// rewritten between two draws of one scene while still bound is the one case
// that does not finish first.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "refdevice/draw/draw_description.h"
#include "refdevice/draw/setup_primitives.h"

namespace refdev {

class ThreadPool;

// One rectangle of a Clear, already inside the viewport and the target.
struct ClearCommand {
  Surface* target = nullptr;
  DepthBuffer* depth = nullptr;
  PixelRect rect;
  DWORD flags = 0;               // D3DCLEAR_TARGET, _ZBUFFER, _STENCIL
  D3DCOLOR colour = 0;           // for the target, in 0xAARRGGBB
  std::uint32_t depthValue = 0;  // already scaled to the depth format
  std::uint8_t stencil = 0;
};

class Rasterizer {
 public:
  virtual ~Rasterizer() = default;

  // Clears one rectangle, after everything handed over before it.
  virtual void Clear(const ClearCommand& clear) = 0;

  // Starts a draw; the primitives handed over until the next BeginDraw or
  // Clear belong to it and are drawn in the order given.
  virtual void BeginDraw(const DrawDescription& draw) = 0;
  virtual void Triangles(const SetupTriangle* triangles, std::size_t count) = 0;
  // The triangles of `n` consecutive parts of the current draw, in order:
  // parts[i] holds counts[i] of them. A back end may take the parts on
  // several threads; this one hands them over one part after the other.
  virtual void TriangleParts(const SetupTriangle* const* parts, const std::size_t* counts, int n) {
    for (int i = 0; i < n; ++i)
      if (counts[i] > 0) Triangles(parts[i], counts[i]);
  }
  virtual void Lines(const SetupLine* lines, std::size_t count) = 0;
  virtual void Points(const SetupPoint* points, std::size_t count) = 0;

  // Returns when every clear and draw handed over is in the buffers.
  virtual void Finish() = 0;

  // Threads that rasterize. The pixels never depend on it.
  virtual void SetThreads(int threads) = 0;
  virtual int Threads() const = 0;

  // The back end's worker threads, which the front end may borrow between
  // calls to split a large draw (Threads() of them), or null.
  virtual ThreadPool* Pool() { return nullptr; }
};

enum class RasterizerKind {
  kBand,   // the straightforward band rasterizer, the oracle
  kTiled,  // tiles on a thread pool with vectorised kernels: the same bytes, faster
};

// What the host chose for a device's back end (the user's settings).
struct RasterizerOptions {
  int threads = 0;      // 0: DefaultThreadCount()
  bool kernels = true;  // false: every draw through the plain per-pixel code
};

// The back end a device uses unless told otherwise.
RasterizerKind DefaultRasterizerKind();
std::unique_ptr<Rasterizer> MakeRasterizer(RasterizerKind kind,
                                           const RasterizerOptions& options = {});

}  // namespace refdev
