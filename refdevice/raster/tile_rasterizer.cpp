#include "refdevice/raster/tile_rasterizer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "formats/pixel_format.h"
#include "refdevice/raster/band_rasterizer.h"
#include "refdevice/raster/simd_kernels.h"
#include "refdevice/raster/thread_pool.h"
#include "refdevice/raster/z16_lessequal_srcalpha32_kernel.h"

namespace refdev {
namespace {

// A tile's command: its kind in the top bits, the index of what it refers to
// in the frame's lists below.
enum Kind : std::uint32_t { kDraw = 0, kTriangle = 1, kLine = 2, kPoint = 3, kClear = 4 };
constexpr int kKindShift = 29;
constexpr std::uint32_t kIndexMask = (1u << kKindShift) - 1;

// Below this many pixels of work a frame is drawn on the calling thread: a
// wake-up would cost more than it saves.
constexpr long kParallelPixels = 16 * 1024;

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}
bool Empty(const PixelRect& r) { return r.x0 >= r.x1 || r.y0 >= r.y1; }

struct Tile {
  PixelRect rect;
  std::vector<std::uint32_t> commands;
  std::uint32_t lastDraw = ~0u;  // the draw whose command the list holds last
  // The farthest depth of each 16x8 block, valid for `boundsOf` only.
  std::array<std::uint16_t, kTileBlocks> blockFar{};
  const DepthBuffer* boundsOf = nullptr;
  // Memory whose part in this tile holds one value throughout, as a clear of
  // the whole tile left it and nothing drew there since: clearing it to the
  // same value again writes nothing (most of the screen, most frames).
  struct Uniform {
    const void* memory = nullptr;
    std::uint64_t stamp = 0;  // the surface's stamp then
    std::uint32_t value = 0;
  };
  std::array<Uniform, 4> uniform{};

  bool Holds(const void* memory, std::uint64_t stamp, std::uint32_t value) const {
    for (const Uniform& u : uniform)
      if (u.memory == memory && u.stamp == stamp && u.value == value) return true;
    return false;
  }
  void Forget(const void* memory) {
    for (Uniform& u : uniform)
      if (u.memory == memory) u = Uniform{};
  }
  void Remember(const void* memory, std::uint64_t stamp, std::uint32_t value) {
    Forget(memory);
    for (Uniform& u : uniform)
      if (!u.memory) {
        u = {memory, stamp, value};
        return;
      }
    std::rotate(uniform.begin(), uniform.begin() + 1, uniform.end());
    uniform.back() = {memory, stamp, value};
  }
  void ForgetAll() { uniform.fill(Uniform{}); }
};

// Lists that grow to the largest frame seen and are then reused.
template <typename T>
struct FrameList {
  std::vector<T> items;
  std::size_t count = 0;
  std::uint32_t Add(const T& v) {
    const auto index = Reserve();
    items[index] = v;
    return index;
  }
  // Room for `n` items in all, those past the count left as they were.
  void Grow(std::size_t n) {
    if (n > items.size()) items.resize(std::max<std::size_t>({64, items.size() * 2, n}));
  }
  // The next item, left as it was, for the caller to fill.
  std::uint32_t Reserve() {
    if (count == items.size()) items.resize(std::max<std::size_t>(64, items.size() * 2));
    return static_cast<std::uint32_t>(count++);
  }
};

}  // namespace

struct TileRasterizer::Impl {
  ThreadPool pool;
  int threads;
  int tilesX = 0, tilesY = 0;
  std::vector<Tile> tiles;
  std::vector<int> active;  // tiles with commands, column by column, while flushing
  FrameList<DrawDescription> draws;
  FrameList<SetupTriangle> triangles;
  FrameList<SetupLine> lines;
  FrameList<SetupPoint> points;
  FrameList<ClearCommand> clears;
  std::vector<Z16LessEqualSrcAlpha32Draw> kernelDraws;  // per draw; d == nullptr: no kernel
  std::vector<std::unique_ptr<KernelScratch>> scratch;  // per thread
  long work = 0;                                        // pixels, roughly
  bool texturedDraw = false;                            // the current draw samples a texture
  DrawDescription kept;
  std::array<std::uint8_t, 64 * 64> tileClass{};
  bool kernels;  // draws whose key has a kernel take it

  // What one part of a draw bins on its own thread, merged in part order.
  struct PartBin {
    std::vector<std::vector<std::uint32_t>> tiles;  // commands for each tile
    long work = 0;
    std::array<std::uint8_t, 64 * 64> tileClass{};
  };
  std::vector<PartBin> partBins;
  std::vector<std::size_t> partFirst;  // each part's first triangle record

  Impl(int n, bool withKernels)
      : pool(n > 0 ? n : DefaultThreadCount()),
        threads(pool.Size()),
        scratch(static_cast<std::size_t>(pool.Size())),
        kernels(withKernels) {
    for (auto& s : scratch) s = std::make_unique<KernelScratch>();
  }

  // Makes the grid cover w x h pixels, drawing what is pending first.
  void Cover(int w, int h) {
    const int tx = (w + kTileSize - 1) / kTileSize, ty = (h + kTileSize - 1) / kTileSize;
    if (tx <= tilesX && ty <= tilesY) return;
    Flush();
    tilesX = std::max(tx, tilesX);
    tilesY = std::max(ty, tilesY);
    tiles.assign(static_cast<std::size_t>(tilesX * tilesY), Tile{});
    for (int y = 0; y < tilesY; ++y)
      for (int x = 0; x < tilesX; ++x)
        tiles[static_cast<std::size_t>(y * tilesX + x)].rect = {
            x * kTileSize, y * kTileSize, (x + 1) * kTileSize, (y + 1) * kTileSize};
  }

  void Push(int tx, int ty, std::uint32_t command) {
    Tile& t = tiles[static_cast<std::size_t>(ty * tilesX + tx)];
    t.commands.push_back(command);
  }

  // Puts the current draw's command in the tile's list unless it is the
  // last draw there: its primitives follow.
  void OpenDraw(Tile& t) {
    const auto draw = static_cast<std::uint32_t>(draws.count - 1);
    if (t.lastDraw == draw) return;
    t.commands.push_back(kDraw << kKindShift | draw);
    t.lastDraw = draw;
  }

  // Appends a primitive's command to tile (tx, ty), after its draw's.
  void PushPrimitive(int tx, int ty, std::uint32_t command) {
    Tile& t = tiles[static_cast<std::size_t>(ty * tilesX + tx)];
    OpenDraw(t);
    t.commands.push_back(command);
  }

  // Tiles a pixel rectangle touches, clamped to the grid.
  void TileRange(const PixelRect& r, int& tx0, int& ty0, int& tx1, int& ty1) const {
    tx0 = std::clamp(r.x0 / kTileSize, 0, tilesX - 1);
    ty0 = std::clamp(r.y0 / kTileSize, 0, tilesY - 1);
    tx1 = std::clamp((r.x1 - 1) / kTileSize, 0, tilesX - 1);
    ty1 = std::clamp((r.y1 - 1) / kTileSize, 0, tilesY - 1);
  }

  void BinTriangle(const SetupTriangle& t, std::uint32_t index) {
    BinTriangle(t, index, work, tileClass,
                [this](int tx, int ty, std::uint32_t command) { PushPrimitive(tx, ty, command); });
  }

  // Calls push(tx, ty, command) for the tiles the triangle may cover, in
  // order, and adds its rough pixel count to `pixels`.
  template <typename Push>
  void BinTriangle(const SetupTriangle& t, std::uint32_t index, long& pixels,
                   std::array<std::uint8_t, 64 * 64>& classes, Push&& push) const {
    const PixelRect box{t.minX, t.minY, t.maxX + 1, t.maxY + 1};
    int tx0, ty0, tx1, ty1;
    TileRange(box, tx0, ty0, tx1, ty1);
    pixels += static_cast<long>(box.x1 - box.x0) * (box.y1 - box.y0);
    const std::uint32_t command = kTriangle << kKindShift | index;
    const int nx = tx1 - tx0 + 1, ny = ty1 - ty0 + 1;
    if (nx * ny <= 2 || nx > 64 || ny > 64) {
      for (int ty = ty0; ty <= ty1; ++ty)
        for (int tx = tx0; tx <= tx1; ++tx) push(tx, ty, command);
      return;
    }
    // Large triangles: skip the tiles of the box that no edge lets in.
    std::int64_t at[3], sx[3], sy[3];
    for (int k = 0; k < 3; ++k) {
      at[k] = EdgeAt(t.edge[k], t.minX, t.minY, tx0 * kTileSize, ty0 * kTileSize);
      sx[k] = t.edge[k].stepX;
      sy[k] = t.edge[k].stepY;
    }
    simd::ClassifyBlocks(at, sx, sy, kTileSize, kTileSize, nx, ny, classes.data());
    for (int ty = ty0; ty <= ty1; ++ty)
      for (int tx = tx0; tx <= tx1; ++tx)
        if (classes[static_cast<std::size_t>((ty - ty0) * nx + tx - tx0)] != simd::kBlockOut)
          push(tx, ty, command);
  }

  // The bytes of a triangle record the current draw reads.
  std::size_t UsedBytes() const {
    return offsetof(SetupTriangle, attr) +
           static_cast<std::size_t>(draws.items[draws.count - 1].interpCount) * sizeof(Plane);
  }

  void Flush() {
    // Column by column: the pool gives each thread a run of consecutive
    // jobs, so each works on a region of its own (the same from frame to
    // frame, whose memory its core still holds), and tiles side by side,
    // whose rows may share cache lines, are seldom drawn at once.
    active.clear();
    for (int x = 0; x < tilesX; ++x)
      for (int y = 0; y < tilesY; ++y)
        if (!tiles[static_cast<std::size_t>(y * tilesX + x)].commands.empty())
          active.push_back(y * tilesX + x);
    if (!active.empty()) {
      // Someone else may have written the depth buffer since the last frame.
      for (int i : active) tiles[static_cast<std::size_t>(i)].boundsOf = nullptr;
      // The kept descriptions no longer move: point the kernels at them.
      for (std::size_t i = 0; i < draws.count; ++i)
        if (kernelDraws[i].d) kernelDraws[i].d = &draws.items[i];
      pool.Run(static_cast<int>(active.size()), work < kParallelPixels ? 1 : threads,
               [this](int job, int thread) {
                 RunTile(tiles[static_cast<std::size_t>(active[static_cast<std::size_t>(job)])],
                         thread);
               });
    }
    draws.count = triangles.count = lines.count = points.count = clears.count = 0;
    work = 0;
  }

  // Adds `draw` to the frame's draws as the current one.
  void AddDraw(const DrawDescription& draw) {
    const auto index = draws.Add(draw);
    if (kernelDraws.size() < draws.items.size()) kernelDraws.resize(draws.items.size());
    Z16LessEqualSrcAlpha32Draw& g = kernelDraws[index];
    g = Z16LessEqualSrcAlpha32Draw{};
    if (!kernels || !PrepareZ16LessEqualSrcAlpha32(draws.items[index], g)) g.d = nullptr;
    texturedDraw = false;
    for (int st = 0; st < draw.pixel.ff.stageCount; ++st)
      texturedDraw |= draw.pixel.bound[st].texture != nullptr;
  }

  // A texture may be rewritten between two draws of a scene while it stays
  // bound, without a Finish: draw a textured draw's primitives at once, as
  // the band rasterizer does, and keep the draw current for the next ones.
  void AfterPrimitives() {
    if (!texturedDraw) return;
    kept = draws.items[draws.count - 1];
    Flush();
    AddDraw(kept);
  }

  // The clear of the common formats through the vectorised fills, skipped
  // where the tile already holds the value; the others through the plain
  // code.
  static void FastClear(Tile& tile, const ClearCommand& c, const PixelRect& part) {
    const bool colour32 =
        c.target && (c.target->format == D3DFMT_X8R8G8B8 || c.target->format == D3DFMT_A8R8G8B8);
    const bool depth16 = c.depth && !c.depth->d16.empty();
    if ((c.flags & D3DCLEAR_STENCIL) || ((c.flags & D3DCLEAR_TARGET) && !colour32) ||
        ((c.flags & D3DCLEAR_ZBUFFER) && !depth16)) {
      ClearRect(c, part);
      if (c.target) tile.Forget(c.target->bytes.data());
      if (c.depth) tile.Forget(c.depth->d16.data());
      return;
    }
    const auto n = static_cast<std::size_t>(part.x1 - part.x0);
    const auto rows = static_cast<std::size_t>(part.y1 - part.y0);
    // Fills `memory` unless the tile holds `value` there, and tells whether
    // it does afterwards.
    const auto fill = [&](const void* memory, std::uint64_t stamp, int width, int height,
                          std::uint32_t value, auto&& write) {
      const PixelRect whole = Intersect(tile.rect, {0, 0, width, height});
      const bool all =
          part.x0 == whole.x0 && part.y0 == whole.y0 && part.x1 == whole.x1 && part.y1 == whole.y1;
      if (all && tile.Holds(memory, stamp, value)) return;
      write();
      if (all)
        tile.Remember(memory, stamp, value);
      else
        tile.Forget(memory);
    };
    if (c.flags & D3DCLEAR_TARGET) {
      std::uint32_t pixel = c.colour;
      EncodePixel(c.target->format, c.colour, reinterpret_cast<std::uint8_t*>(&pixel));
      fill(c.target->bytes.data(), c.target->stamp, c.target->width, c.target->height, pixel, [&] {
        simd::Fill32(reinterpret_cast<std::uint32_t*>(c.target->Row(part.y0)) + part.x0, n, pixel,
                     rows, static_cast<std::size_t>(c.target->pitch));
      });
    }
    if (c.flags & D3DCLEAR_ZBUFFER) {
      const auto v = static_cast<std::uint16_t>(c.depthValue);
      fill(c.depth->d16.data(), c.depth->stamp, c.depth->width, c.depth->height, v, [&] {
        simd::Fill16(
            c.depth->d16.data() + static_cast<std::size_t>(part.y0) * c.depth->width + part.x0, n,
            v, rows, static_cast<std::size_t>(c.depth->width) * sizeof(std::uint16_t));
      });
    }
  }

  // Sets the bounds of the blocks a depth clear reaches.
  static void ClearBounds(Tile& tile, const ClearCommand& c, const PixelRect& part) {
    const DepthBuffer* depth = c.depth;
    const auto v = static_cast<std::uint16_t>(c.depthValue);
    const PixelRect whole = Intersect(tile.rect, {0, 0, depth->width, depth->height});
    if (depth->d16.empty()) {
      tile.boundsOf = nullptr;
    } else if (part.x0 == whole.x0 && part.y0 == whole.y0 && part.x1 == whole.x1 &&
               part.y1 == whole.y1) {
      tile.blockFar.fill(v);
      tile.boundsOf = depth;
    } else if (tile.boundsOf == depth) {
      // A block the clear covers takes its depth; one it reaches into holds
      // at most the farther of the two.
      for (int b = 0; b < kTileBlocks; ++b) {
        const int x = tile.rect.x0 + (b % kTileBlocksX) * kBlockW;
        const int y = tile.rect.y0 + (b / kTileBlocksX) * kBlockH;
        const PixelRect block = Intersect({x, y, x + kBlockW, y + kBlockH}, whole);
        const PixelRect in = Intersect(block, part);
        if (Empty(block) || Empty(in)) continue;
        auto& far = tile.blockFar[static_cast<std::size_t>(b)];
        const bool covers =
            in.x0 == block.x0 && in.y0 == block.y0 && in.x1 == block.x1 && in.y1 == block.y1;
        far = covers ? v : std::max(far, v);
      }
    }
  }

  void RunTile(Tile& tile, int thread) {
    KernelScratch& ks = *scratch[static_cast<std::size_t>(thread)];
    float* s = ks.plain;
    const DrawDescription* d = nullptr;
    const Z16LessEqualSrcAlpha32Draw* g = nullptr;
    PixelRect clip{};
    PixelRect kernelTile{};
    for (const std::uint32_t command : tile.commands) {
      const std::uint32_t index = command & kIndexMask;
      switch (command >> kKindShift) {
        case kDraw: {
          d = &draws.items[index];
          g = kernelDraws[index].d ? &kernelDraws[index] : nullptr;
          clip = Intersect(tile.rect, d->viewport);
          std::fill(s, s + kPixelAttrs, 0.0f);
          if (g) {
            const PixelContext& px = d->pixel;
            kernelTile = Intersect(tile.rect, {0, 0, std::min(px.target->width, px.depth->width),
                                               std::min(px.target->height, px.depth->height)});
            if (tile.boundsOf != px.depth) {
              FarthestDepths(g->depth, g->depthWidth, kernelTile, tile.blockFar.data());
              tile.boundsOf = px.depth;
            }
          } else if (d->pixel.depth && (d->pixel.ff.depthWrite || d->pixel.ff.stencil.enabled)) {
            tile.boundsOf = nullptr;  // the plain code may write any depth
          }
          break;
        }
        case kTriangle:
          tile.ForgetAll();
          if (Empty(clip)) break;
          if (g)
            g->kernel(*g, triangles.items[index], kernelTile, clip, tile.blockFar.data(), ks);
          else
            RasterTriangle(*d, triangles.items[index], clip, s);
          break;
        case kLine:
          tile.ForgetAll();
          if (!Empty(clip)) RasterLine(*d, lines.items[index], clip, s);
          break;
        case kPoint:
          tile.ForgetAll();
          if (!Empty(clip)) RasterPoint(*d, points.items[index], clip, s);
          break;
        case kClear: {
          const ClearCommand& c = clears.items[index];
          const PixelRect part = Intersect(tile.rect, c.rect);
          if (Empty(part)) break;
          FastClear(tile, c, part);
          if (c.flags & D3DCLEAR_ZBUFFER) ClearBounds(tile, c, part);
          break;
        }
      }
    }
    tile.commands.clear();
    tile.lastDraw = ~0u;
  }
};

TileRasterizer::TileRasterizer(int threads, bool kernels)
    : impl_(std::make_unique<Impl>(threads, kernels)) {}
TileRasterizer::~TileRasterizer() = default;

void TileRasterizer::Clear(const ClearCommand& clear) {
  Impl& m = *impl_;
  if (Empty(clear.rect)) return;
  m.Cover(clear.rect.x1, clear.rect.y1);
  const auto index = m.clears.Add(clear);
  // Filling memory gains little from a second thread.
  m.work += static_cast<long>(clear.rect.x1 - clear.rect.x0) * (clear.rect.y1 - clear.rect.y0) / 64;
  int tx0, ty0, tx1, ty1;
  m.TileRange(clear.rect, tx0, ty0, tx1, ty1);
  for (int ty = ty0; ty <= ty1; ++ty)
    for (int tx = tx0; tx <= tx1; ++tx) m.Push(tx, ty, kClear << kKindShift | index);
}

void TileRasterizer::BeginDraw(const DrawDescription& draw) {
  Impl& m = *impl_;
  if (draw.pixel.target) m.Cover(draw.pixel.target->width, draw.pixel.target->height);
  m.Cover(draw.viewport.x1, draw.viewport.y1);
  m.AddDraw(draw);
}

void TileRasterizer::Triangles(const SetupTriangle* triangles, std::size_t count) {
  Impl& m = *impl_;
  // Only the planes the draw interpolates are read: copy just those (the
  // record holds room for every attribute, most of it unused).
  static_assert(std::is_trivially_copyable_v<SetupTriangle> &&
                std::is_standard_layout_v<SetupTriangle>);
  const std::size_t used = m.UsedBytes();
  for (std::size_t i = 0; i < count; ++i) {
    const auto index = m.triangles.Reserve();
    std::memcpy(static_cast<void*>(&m.triangles.items[index]), &triangles[i], used);
    m.BinTriangle(triangles[i], index);
  }
  m.AfterPrimitives();
}

void TileRasterizer::TriangleParts(const SetupTriangle* const* parts, const std::size_t* counts,
                                   int n) {
  Impl& m = *impl_;
  if (n <= 1 || m.threads <= 1) {
    Rasterizer::TriangleParts(parts, counts, n);
    return;
  }
  // Each part copies and bins its triangles on the thread that has them in
  // its cache, into lists of its own; the lists then join each tile's
  // commands in part order, so the tiles see the triangles as handed over.
  if (m.partBins.size() < static_cast<std::size_t>(n))
    m.partBins.resize(static_cast<std::size_t>(n));
  m.partFirst.resize(static_cast<std::size_t>(n));
  const auto tileCount = static_cast<std::size_t>(m.tilesX * m.tilesY);
  std::size_t total = 0;
  for (int i = 0; i < n; ++i) {
    m.partFirst[static_cast<std::size_t>(i)] = m.triangles.count + total;
    total += counts[i];
    auto& bins = m.partBins[static_cast<std::size_t>(i)].tiles;
    if (bins.size() != tileCount) bins.assign(tileCount, {});
  }
  if (total == 0) return;
  m.triangles.Grow(m.triangles.count + total);
  m.triangles.count += total;
  const std::size_t used = m.UsedBytes();
  m.pool.Run(n, m.threads, [&](int part, int) {
    Impl::PartBin& bin = m.partBins[static_cast<std::size_t>(part)];
    bin.work = 0;
    const SetupTriangle* from = parts[part];
    const std::size_t first = m.partFirst[static_cast<std::size_t>(part)];
    // A part puts at most each of its triangles in a tile's list: with room
    // for twice that, later frames of a like size allocate nothing.
    for (auto& list : bin.tiles)
      if (list.capacity() < counts[part]) list.reserve(2 * counts[part]);
    for (std::size_t i = 0; i < counts[part]; ++i) {
      const auto index = static_cast<std::uint32_t>(first + i);
      std::memcpy(static_cast<void*>(&m.triangles.items[index]), &from[i], used);
      m.BinTriangle(from[i], index, bin.work, bin.tileClass,
                    [&bin, &m](int tx, int ty, std::uint32_t command) {
                      bin.tiles[static_cast<std::size_t>(ty * m.tilesX + tx)].push_back(command);
                    });
    }
  });
  for (std::size_t t = 0; t < tileCount; ++t) {
    Tile& tile = m.tiles[t];
    for (int i = 0; i < n; ++i) {
      std::vector<std::uint32_t>& list = m.partBins[static_cast<std::size_t>(i)].tiles[t];
      if (list.empty()) continue;
      m.OpenDraw(tile);
      // Grow by doubling, as appending one by one would: a frame a little
      // busier than the last then still finds room.
      const std::size_t need = tile.commands.size() + list.size();
      if (need > tile.commands.capacity()) tile.commands.reserve(2 * need);
      tile.commands.insert(tile.commands.end(), list.begin(), list.end());
      list.clear();
    }
  }
  for (int i = 0; i < n; ++i) m.work += m.partBins[static_cast<std::size_t>(i)].work;
  m.AfterPrimitives();
}

void TileRasterizer::Lines(const SetupLine* lines, std::size_t count) {
  Impl& m = *impl_;
  for (std::size_t i = 0; i < count; ++i) {
    const SetupLine& l = lines[i];
    const auto index = m.lines.Add(l);
    // Pixels lie within half a pixel of the line's ends' box.
    const float fx0 = std::min(l.v[0].x, l.v[1].x), fx1 = std::max(l.v[0].x, l.v[1].x);
    const float fy0 = std::min(l.v[0].y, l.v[1].y), fy1 = std::max(l.v[0].y, l.v[1].y);
    const PixelRect& vp = m.draws.items[m.draws.count - 1].viewport;
    auto clampTo = [](float v, int lo, int hi) {
      return v != v
                 ? lo
                 : static_cast<int>(std::clamp(v, static_cast<float>(lo), static_cast<float>(hi)));
    };
    const PixelRect box =
        Intersect(vp, {clampTo(fx0 - 2, vp.x0, vp.x1), clampTo(fy0 - 2, vp.y0, vp.y1),
                       clampTo(fx1 + 2, vp.x0, vp.x1), clampTo(fy1 + 2, vp.y0, vp.y1)});
    if (Empty(box)) continue;
    m.work += static_cast<long>(box.x1 - box.x0) + (box.y1 - box.y0);
    int tx0, ty0, tx1, ty1;
    m.TileRange(box, tx0, ty0, tx1, ty1);
    for (int ty = ty0; ty <= ty1; ++ty)
      for (int tx = tx0; tx <= tx1; ++tx) m.PushPrimitive(tx, ty, kLine << kKindShift | index);
  }
  m.AfterPrimitives();
}

void TileRasterizer::Points(const SetupPoint* points, std::size_t count) {
  Impl& m = *impl_;
  for (std::size_t i = 0; i < count; ++i) {
    const SetupPoint& p = points[i];
    const auto index = m.points.Add(p);
    if (p.px < 0 || p.py < 0 || p.px >= m.tilesX * kTileSize || p.py >= m.tilesY * kTileSize)
      continue;
    m.work += 1;
    m.PushPrimitive(p.px / kTileSize, p.py / kTileSize, kPoint << kKindShift | index);
  }
  m.AfterPrimitives();
}

void TileRasterizer::Finish() { impl_->Flush(); }

void TileRasterizer::SetThreads(int threads) {
  impl_->threads = std::clamp(threads, 1, impl_->pool.Size());
}

int TileRasterizer::Threads() const { return impl_->threads; }

ThreadPool* TileRasterizer::Pool() { return &impl_->pool; }

}  // namespace refdev
