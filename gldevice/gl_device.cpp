#include "gldevice/gl_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "d3dfront/argument_checks.h"
#include "formats/pixel_format.h"
#include "platform/d3d8_defaults.h"
#include "platform/d3dx8_math.h"
#include "refdevice/ref_direct3d.h"

namespace gldev {

constexpr GLsizeiptr kStreamBytes = 1 << 20;

namespace {

constexpr std::size_t kMaxSpares = 4;

GLenum CompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO:
      return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
      return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
      return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
      return GL_DECR;
    case D3DSTENCILOP_INVERT:
      return GL_INVERT;
    case D3DSTENCILOP_INCR:
      return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

GLint AddressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
      return epoxy_gl_version() >= 44 ||
                     epoxy_has_gl_extension("GL_ARB_texture_mirror_clamp_to_edge")
                 ? GL_MIRROR_CLAMP_TO_EDGE
                 : GL_CLAMP_TO_EDGE;
    default:
      return GL_REPEAT;
  }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

// A packed colour's channels as OpenGL takes them, 0 to 1.
void Unpack(D3DCOLOR argb, float out[4]) {
  const d3dfront::Channels c = d3dfront::Unpack(argb);
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<float>(c[i]) / 255.0f;
}

}  // namespace

// ---- shared context ----

SharedContext::~SharedContext() {
  if (!spares_.empty() && context_->MakeCurrent())
    for (auto& s : spares_) glDeleteBuffers(1, &s.name);
}

void SharedContext::TakeBuffer(UINT length, GLuint& name, std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < spares_.size(); ++i) {
    if (spares_[i].bytes.size() != length) continue;
    name = spares_[i].name;
    bytes = std::move(spares_[i].bytes);
    spares_.erase(spares_.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
  MakeCurrent();
  glGenBuffers(1, &name);
  bytes.assign(length, 0);
}

void SharedContext::GiveBack(GLuint name, std::vector<std::uint8_t>&& bytes) {
  if (spares_.size() >= kMaxSpares) {
    if (MakeCurrent()) glDeleteBuffers(1, &spares_.front().name);
    spares_.erase(spares_.begin());
  }
  spares_.push_back({name, std::move(bytes)});
}

// ---- vertex buffers ----

GlVertexBuffer::GlVertexBuffer(std::shared_ptr<SharedContext> shared, UINT length, DWORD usage,
                               DWORD fvf, D3DPOOL pool)
    : shared_(std::move(shared)), length_(length), usage_(usage), fvf_(fvf), pool_(pool) {
  shared_->TakeBuffer(length, name_, bytes_);
}

GlVertexBuffer::~GlVertexBuffer() { shared_->GiveBack(name_, std::move(bytes_)); }

HRESULT GlVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  (void)flags;
  if (const HRESULT hr = d3dfront::CheckLock(offset, size, length_, data); hr != D3D_OK) return hr;
  *data = bytes_.data() + offset;
  ++locks_;
  return D3D_OK;
}

HRESULT GlVertexBuffer::Unlock() {
  if (const HRESULT hr = d3dfront::CheckUnlock(locks_); hr != D3D_OK) return hr;
  --locks_;
  dirty_ = true;
  return D3D_OK;
}

HRESULT GlVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC& desc) {
  desc = {};
  desc.Format = D3DFMT_UNKNOWN;  // as the reference device reports it
  desc.Type = D3DRTYPE_VERTEXBUFFER;
  desc.Usage = usage_;
  desc.Pool = pool_;
  desc.Size = length_;
  desc.FVF = fvf_;
  return D3D_OK;
}

GLuint GlVertexBuffer::Upload() {
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  if (dirty_) {
    // New storage each time: a draw still reading the old contents does not
    // hold up the upload.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(length_), bytes_.data(), GL_STREAM_DRAW);
    dirty_ = false;
  }
  return name_;
}

// ---- textures ----

GlTexture::GlTexture(std::shared_ptr<SharedContext> shared, UINT width, UINT height, UINT levels,
                     DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : shared_(std::move(shared)),
      store_(width, height, levels, usage, format, pool),
      dirty_(levels, true) {
  shared_->MakeCurrent();
  glGenTextures(1, &name_);
}

GlTexture::~GlTexture() {
  if (shared_->MakeCurrent()) glDeleteTextures(1, &name_);
}

HRESULT GlTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) {
  return store_.GetLevelDesc(level, desc);
}

HRESULT GlTexture::LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) {
  return store_.LockRect(level, locked, rect, flags);
}

HRESULT GlTexture::UnlockRect(UINT level) {
  const HRESULT hr = store_.UnlockRect(level);
  if (hr == D3D_OK) {
    dirty_[level] = true;
    anyDirty_ = true;
  }
  return hr;
}

void GlTexture::Bind(std::vector<std::uint32_t>& scratch, GLint baseLevel) {
  glBindTexture(GL_TEXTURE_2D, name_);
  if (anyDirty_) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL,
                    static_cast<GLint>(store_.GetLevelCount()) - 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (UINT level = 0; level < store_.GetLevelCount(); ++level) {
      if (!dirty_[level]) continue;
      // Every format goes up as 8-bit BGRA; formats without alpha read opaque.
      const refdev::Surface& s = store_.Level(level);
      const int bpp = BytesPerPixel(s.format);
      scratch.resize(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height));
      for (std::int32_t y = 0; y < s.height; ++y)
        for (std::int32_t x = 0; x < s.width; ++x)
          scratch[static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) +
                  static_cast<std::size_t>(x)] =
              DecodePixel(s.format, s.Row(y) + static_cast<std::size_t>(x) * bpp);
      glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, s.width, s.height, 0,
                   GL_BGRA, GL_UNSIGNED_BYTE, scratch.data());
      dirty_[level] = false;
    }
    anyDirty_ = false;
  }
  baseLevel = std::min(baseLevel, static_cast<GLint>(store_.GetLevelCount()) - 1);
  if (baseLevel != baseLevel_) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, baseLevel);
    baseLevel_ = baseLevel;
  }
}

}  // namespace gldev

using gldev::GlTexture;
using gldev::GlVertexBuffer;

// ---- the device ----

GlDevice::GlDevice(std::shared_ptr<gldev::SharedContext> shared, DisplayHost* host, HWND window,
                   const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode)
    : StateKeepingDevice(params, displayMode),
      shared_(std::move(shared)),
      host_(host),
      window_(window) {
  if (!shared_->MakeCurrent()) {
    error_ = "the OpenGL context cannot be made current";
    return;
  }
  const auto w = static_cast<GLsizei>(params_.BackBufferWidth);
  const auto h = static_cast<GLsizei>(params_.BackBufferHeight);
  GLenum colourFormat = GL_RGBA8;
  switch (params_.BackBufferFormat) {
    case D3DFMT_R5G6B5:
      colourFormat = GL_RGB565;
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      colourFormat = GL_RGB5_A1;
      break;
    default:
      break;
  }
  alphaStored_ = FormatHasAlpha(params_.BackBufferFormat);
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, colourFormat, w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  if (params_.EnableAutoDepthStencil) {
    GLenum depthFormat = GL_DEPTH_COMPONENT24;
    GLenum attachment = GL_DEPTH_ATTACHMENT;
    switch (params_.AutoDepthStencilFormat) {
      case D3DFMT_D16:
      case D3DFMT_D16_LOCKABLE:
        depthFormat = GL_DEPTH_COMPONENT16;
        break;
      case D3DFMT_D32:
        depthFormat = GL_DEPTH_COMPONENT32;
        break;
      case D3DFMT_D24S8:
        depthFormat = GL_DEPTH24_STENCIL8;
        attachment = GL_DEPTH_STENCIL_ATTACHMENT;
        depthHasStencil_ = true;
        break;
      default:
        break;
    }
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth_);
    hasDepth_ = true;
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    error_ = "the back buffer's framebuffer is incomplete";
    return;
  }
  glViewport(0, 0, w, h);
  // Start as a new Direct3D device does: a black, opaque back buffer and a
  // far depth buffer.
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | (hasDepth_ ? GL_DEPTH_BUFFER_BIT : 0u) |
          (depthHasStencil_ ? GL_STENCIL_BUFFER_BIT : 0u));

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &stream_);
  glBindBuffer(GL_ARRAY_BUFFER, stream_);
  glBufferData(GL_ARRAY_BUFFER, gldev::kStreamBytes, nullptr, GL_STREAM_DRAW);
  streamSize_ = gldev::kStreamBytes;
  glGenSamplers(D3D_MAX_TEXTURE_STAGES, samplers_);
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
    glBindSampler(static_cast<GLuint>(s), samplers_[s]);
  // Flat shading takes the colour of a triangle's first vertex (a fan's
  // second), as in Direct3D.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);

  GlContext& c = shared_->Context();
  if (c.HasWindow()) {
    int interval = 0;
    if (!params_.Windowed) {
      switch (params_.FullScreen_PresentationInterval) {
        case D3DPRESENT_INTERVAL_IMMEDIATE:
          interval = 0;
          break;
        case D3DPRESENT_INTERVAL_TWO:
          interval = 2;
          break;
        case D3DPRESENT_INTERVAL_THREE:
          interval = 3;
          break;
        case D3DPRESENT_INTERVAL_FOUR:
          interval = 4;
          break;
        default:
          interval = 1;  // the default interval waits for the retrace
          break;
      }
    }
    c.SetSwapInterval(interval);
    swapInterval_ = interval;
  }
}

GlDevice::~GlDevice() {
  if (shared_->MakeCurrent()) {
    if (inFlight_) glDeleteSync(inFlight_);
    glDeleteSamplers(D3D_MAX_TEXTURE_STAGES, samplers_);
    glDeleteBuffers(1, &stream_);
    glDeleteVertexArrays(1, &vao_);
    glDeleteRenderbuffers(1, &colour_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    glDeleteFramebuffers(1, &fbo_);
  }
  if (host_) host_->DetachDevice();
}

bool GlDevice::Ready(std::string* error) const {
  if (error_.empty()) return true;
  if (error) *error = error_;
  return false;
}

bool GlDevice::Current() {
  if (!shared_->MakeCurrent()) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glBindVertexArray(vao_);
  return true;
}

HRESULT GlDevice::GetDeviceCaps(D3DCAPS8& caps) {
  RefDirect3D8::FillCaps(D3DDEVTYPE_HAL, caps);
  return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
  if (const HRESULT hr = d3dfront::CheckClear(state_, count, rects, flags, z); hr != D3D_OK)
    return hr;
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;

  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    gldev::Unpack(color, c);
    // Narrow formats keep the top bits of each channel, as the reference
    // device stores them; OpenGL would round instead.
    const int bits[3] = {5, params_.BackBufferFormat == D3DFMT_R5G6B5 ? 6 : 5, 5};
    if (BytesPerPixel(params_.BackBufferFormat) == 2)
      for (int i = 0; i < 3; ++i) {
        const int levels = (1 << bits[i]) - 1;
        const auto v = static_cast<int>(std::lround(c[i] * 255.0f)) >> (8 - bits[i]);
        c[i] = static_cast<float>(v) / static_cast<float>(levels);
      }
    // Formats without alpha read back as opaque.
    glClearColor(c[0], c[1], c[2], alphaStored_ ? c[3] : 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil & 0xFFu));
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // Only the viewport is cleared, and of it only the rectangles given.
  const D3DVIEWPORT8& vp = state_.viewport;
  const auto vx0 = static_cast<std::int32_t>(vp.X), vy0 = static_cast<std::int32_t>(vp.Y);
  const std::int32_t vx1 = vx0 + static_cast<std::int32_t>(vp.Width);
  const std::int32_t vy1 = vy0 + static_cast<std::int32_t>(vp.Height);
  glEnable(GL_SCISSOR_TEST);
  auto clearRect = [&](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    x0 = std::max(x0, vx0);
    y0 = std::max(y0, vy0);
    x1 = std::min(x1, vx1);
    y1 = std::min(y1, vy1);
    if (x0 >= x1 || y0 >= y1) return;
    glScissor(x0, y0, x1 - x0, y1 - y0);  // rows count from the top here
    glClear(mask);
  };
  if (count == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  glDisable(GL_SCISSOR_TEST);
  return D3D_OK;
}

FrameView GlDevice::ReadBackBuffer() {
  const auto w = static_cast<GLsizei>(params_.BackBufferWidth);
  const auto h = static_cast<GLsizei>(params_.BackBufferHeight);
  readback_.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  if (!Current()) return {};
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, readback_.data());
  return FrameView{readback_.data(), w, h, w * 4, alphaStored_ ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8};
}

HRESULT GlDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                          const void* dirtyRegion) {
  if (sourceRect != nullptr || destRect != nullptr || dirtyRegion != nullptr)
    return D3DERR_INVALIDCALL;
  GlContext& c = shared_->Context();
  if (c.Lost()) return D3DERR_DEVICELOST;
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;
  if (c.HasWindow()) {
    if (destWindow != 0 && destWindow != window_) return D3DERR_INVALIDCALL;
    int sw = 0, sh = 0;
    c.DrawableSize(sw, sh);
    const int fw = static_cast<int>(params_.BackBufferWidth);
    const int fh = static_cast<int>(params_.BackBufferHeight);
    // The frame keeps its aspect on a screen or window of another size, the
    // rest is black: placed, rounded and centred as the display host places
    // frames drawn in software, so both devices show a frame alike.
    const std::int64_t fw64 = fw, fh64 = fh, sw64 = sw, sh64 = sh;
    int dw = sw, dh = sh;
    if (fw64 * sh64 >= sw64 * fh64)
      dh = std::min(sh, static_cast<int>((sw64 * fh64 + fw64 / 2) / fw64));
    else
      dw = std::min(sw, static_cast<int>((sh64 * fw64 + fh64 / 2) / fh64));
    const int dx = (sw - dw) / 2, dy = (sh - dh) / 2;
    if (c.WantsShownFrame()) c.ShownFrame(ReadBackBuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (dw != sw || dh != sh) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    // The back buffer's top row is its row 0; the window's is its last.
    glBlitFramebuffer(0, 0, fw, fh, dx, sh - dy, dx + dw, sh - dy - dh, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    c.Swap();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    if (c.Lost()) return D3DERR_DEVICELOST;  // the swap found the window gone
    return D3D_OK;
  }
  if (host_ && host_->WantsFramePixels()) return host_->Present(ReadBackBuffer(), destWindow);
  // No one looks at the frame: keep at most one frame in flight so that the
  // queue of unfinished frames stays short.
  if (inFlight_) {
    glClientWaitSync(inFlight_, GL_SYNC_FLUSH_COMMANDS_BIT, GLuint64{1000000000});
    glDeleteSync(inFlight_);
  }
  inFlight_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();
  return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     Ref<Direct3DVertexBuffer8>& buffer) {
  if (const HRESULT hr = d3dfront::CheckCreateVertexBuffer(length, fvf, pool); hr != D3D_OK)
    return hr;
  buffer = std::make_shared<GlVertexBuffer>(shared_, length, usage, fvf, pool);
  return D3D_OK;
}

HRESULT GlDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                D3DPOOL pool, Ref<Direct3DTexture8>& texture) {
  if (const HRESULT hr = d3dfront::CheckCreateTexture(width, height, levels, usage, format, pool);
      hr != D3D_OK)
    return hr;
  texture = std::make_shared<GlTexture>(shared_, width, height, levels, usage, format, pool);
  return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, const Ref<Direct3DVertexBuffer8>& buffer,
                                  UINT stride) {
  const bool foreign = buffer && !dynamic_cast<GlVertexBuffer*>(buffer.get());
  if (const HRESULT hr = d3dfront::CheckSetStreamSource(stream, foreign); hr != D3D_OK) return hr;
  stream0_ = buffer;
  stream0Stride_ = stride;
  return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, const Ref<Direct3DBaseTexture8>& texture) {
  auto* t = dynamic_cast<GlTexture*>(texture.get());
  if (const HRESULT hr = d3dfront::CheckSetTexture(stage, texture && !t); hr != D3D_OK) return hr;
  textures_[stage] = texture;
  glTextures_[stage] = t;
  state_.textured[stage] = t != nullptr;
  return D3D_OK;
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  auto* vb = dynamic_cast<GlVertexBuffer*>(stream0_.get());
  const UINT length = vb ? vb->Length() : 0;
  if (const HRESULT hr =
          d3dfront::CheckDrawPrimitive(state_, inScene_, type, startVertex, primitiveCount,
                                       stream0Stride_, vb ? &length : nullptr);
      hr != D3D_OK || primitiveCount == 0)
    return hr;
  return Draw(type, primitiveCount, vb, static_cast<std::uint64_t>(startVertex) * stream0Stride_,
              nullptr, stream0Stride_);
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                  const void* vertexData, UINT stride) {
  if (const HRESULT hr = d3dfront::CheckDrawPrimitiveUP(state_, inScene_, type, primitiveCount,
                                                        vertexData, stride);
      hr != D3D_OK)
    return hr;
  if (primitiveCount > 0) {
    const HRESULT hr = Draw(type, primitiveCount, nullptr, 0,
                            static_cast<const std::uint8_t*>(vertexData), stride);
    if (hr != D3D_OK) return hr;
  }
  stream0_.reset();
  stream0Stride_ = 0;
  return D3D_OK;
}

void GlDevice::BuildKey(gldev::ProgramKey& k) const {
  const d3dfront::FixedFunction& ff = ff_;
  std::memset(&k, 0, sizeof k);
  k.pretransformed = ff.layout.pretransformed;
  k.hasDiffuse = ff.layout.diffuse >= 0;
  k.hasSpecular = ff.layout.specular >= 0;
  k.flat = ff.flat;
  k.fogDepth = ff.fogDepth;
  if (ff.lighting) {
    k.lighting = 1;
    k.diffuseSource = ff.diffuseSource;
    k.specularSource = ff.specularSource;
    k.ambientSource = ff.ambientSource;
    k.emissiveSource = ff.emissiveSource;
  }
  k.vertexFogMode = static_cast<std::uint8_t>(ff.vertexFogMode);
  k.fog = ff.fog;
  k.fogTableMode = static_cast<std::uint8_t>(ff.fogTableMode);
  k.specularAdd = ff.specularAdd;
  if (ff.alphaTest) k.alphaFunc = static_cast<std::uint8_t>(ff.alphaFunc);
  k.stageCount = static_cast<std::uint8_t>(ff.stageCount);
  k.texSets = static_cast<std::uint8_t>(ff.texSets);
  for (int s = 0; s < ff.stageCount; ++s) {
    const d3dfront::StageRun& run = ff.stages[s];
    gldev::StageKey& st = k.stages[s];
    st.colorOp = static_cast<std::uint8_t>(run.colorOp);
    st.colorArg0 = static_cast<std::uint8_t>(run.colorArg0);
    st.colorArg1 = static_cast<std::uint8_t>(run.colorArg1);
    st.colorArg2 = static_cast<std::uint8_t>(run.colorArg2);
    st.alphaOp = static_cast<std::uint8_t>(run.alphaOp);
    st.alphaArg0 = static_cast<std::uint8_t>(run.alphaArg0);
    st.alphaArg1 = static_cast<std::uint8_t>(run.alphaArg1);
    st.alphaArg2 = static_cast<std::uint8_t>(run.alphaArg2);
    st.colorRuns = run.colorRuns;
    st.alphaRuns = run.alphaRuns;
    st.resultTemp = run.resultTemp;
    st.hasTexture = run.textured;
    st.texSet = run.texSet >= 0 ? static_cast<std::uint8_t>(run.texSet) : gldev::kNoTexSet;
  }
}

void GlDevice::ApplyFixedState() {
  const d3dfront::FixedFunction& ff = ff_;
  if (ff.depthTest) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(gldev::CompareFunc(ff.depthFunc));
    glDepthMask(ff.depthWrite ? GL_TRUE : GL_FALSE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  if (ff.stencilTest) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(gldev::CompareFunc(ff.stencilFunc), static_cast<GLint>(ff.stencilRef),
                  ff.stencilMask);
    glStencilMask(ff.stencilWriteMask & 0xFFu);
    glStencilOp(gldev::StencilOp(ff.stencilFail), gldev::StencilOp(ff.stencilZFail),
                gldev::StencilOp(ff.stencilPass));
  } else {
    glDisable(GL_STENCIL_TEST);
  }
  if (ff.blend) {
    glEnable(GL_BLEND);
    glBlendFunc(gldev::BlendFactor(ff.srcBlend), gldev::BlendFactor(ff.destBlend));
    glBlendEquation(gldev::BlendEquation(ff.blendOp));
  } else {
    glDisable(GL_BLEND);
  }
  const DWORD mask = ff.writeMask;
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, alphaStored_ && (mask & 8) != 0);
  // Rows run downwards in the back buffer, which mirrors the winding: a
  // triangle clockwise on the screen is counter-clockwise to OpenGL.
  switch (ff.cull) {
    case D3DCULL_CCW:
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CCW);
      glCullFace(GL_BACK);
      break;
    case D3DCULL_CW:
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CCW);
      glCullFace(GL_FRONT);
      break;
    default:
      glDisable(GL_CULL_FACE);
      break;
  }
  switch (ff.fill) {
    case D3DFILL_POINT:
      glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
      break;
    case D3DFILL_WIREFRAME:
      glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      break;
    default:
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      break;
  }
}

void GlDevice::ApplyUniforms(const gldev::Program& p) {
  const d3dfront::FixedFunction& ff = ff_;
  D3DMATRIX wv{}, wvp{};
  D3DXMatrixMultiply(wv, state_.world, state_.view);
  D3DXMatrixMultiply(wvp, wv, state_.proj);
  // Row-major rows read as GLSL columns: uWvp * p is p * World * View * Proj.
  glUniformMatrix4fv(p.wvp, 1, GL_FALSE, &wvp.m[0][0]);
  const D3DVIEWPORT8& vp = state_.viewport;
  const auto W = static_cast<float>(params_.BackBufferWidth);
  const auto H = static_cast<float>(params_.BackBufferHeight);
  glUniform4f(p.viewport, (static_cast<float>(vp.X) + 0.5f) * 2.0f / W - 1.0f,
              static_cast<float>(vp.Width) / W, (static_cast<float>(vp.Y) + 0.5f) * 2.0f / H - 1.0f,
              static_cast<float>(vp.Height) / H);
  glUniform2f(p.depthRange, vp.MinZ, vp.MaxZ - vp.MinZ);
  glUniform2f(p.target, 2.0f / W, 2.0f / H);
  glUniform4f(p.fog, ff.fogStart, ff.fogEnd, ff.fogDensity, 0.0f);
  float c[4];
  gldev::Unpack(ff.fogColour, c);
  glUniform3f(p.fogColour, c[0], c[1], c[2]);
  gldev::Unpack(ff.textureFactor, c);
  glUniform4f(p.tfactor, c[0], c[1], c[2], c[3]);
  gldev::Unpack(ff.ambient, c);
  glUniform3f(p.ambient, c[0], c[1], c[2]);
  glUniform1f(p.alphaRef, static_cast<float>(ff.alphaRef));
}

void GlDevice::BindTextures() {
  for (int s = 0; s < ff_.stageCount; ++s) {
    GlTexture* t = glTextures_[static_cast<std::size_t>(s)];
    if (!t) continue;
    const d3dfront::StageRun& run = ff_.stages[s];
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
    t->Bind(scratch_, static_cast<GLint>(run.maxMipLevel));
    GLint minFilter = run.minLinear ? GL_LINEAR : GL_NEAREST;
    if (run.mipFilter == D3DTEXF_POINT)
      minFilter = run.minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (run.mipFilter == D3DTEXF_LINEAR)
      minFilter = run.minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    gldev::SamplerState want{gldev::AddressMode(run.addressU),
                             gldev::AddressMode(run.addressV),
                             minFilter,
                             run.magLinear ? GL_LINEAR : GL_NEAREST,
                             run.lodBias,
                             run.border};
    gldev::SamplerState& have = samplerState_[s];
    const GLuint sampler = samplers_[s];
    if (want.wrapS != have.wrapS) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, want.wrapS);
    if (want.wrapT != have.wrapT) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, want.wrapT);
    if (want.minFilter != have.minFilter)
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, want.minFilter);
    if (want.magFilter != have.magFilter)
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, want.magFilter);
    if (want.lodBias != have.lodBias)
      glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, want.lodBias);
    if (want.border != have.border || have.wrapS == 0) {
      float c[4];
      gldev::Unpack(want.border, c);
      glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, c);
    }
    have = want;
  }
}

void GlDevice::SetAttributes(std::uintptr_t base, UINT stride) {
  const d3dfront::FvfLayout& layout = ff_.layout;
  const auto s = static_cast<GLsizei>(stride);
  auto at = [base](int offset) {
    return reinterpret_cast<const void*>(base + static_cast<std::uintptr_t>(offset));
  };
  glEnableVertexAttribArray(gldev::kAttrPosition);
  glVertexAttribPointer(gldev::kAttrPosition, layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE, s,
                        at(0));
  // A packed colour is B, G, R, A in memory.
  if (layout.diffuse >= 0) {
    glEnableVertexAttribArray(gldev::kAttrDiffuse);
    glVertexAttribPointer(gldev::kAttrDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                          at(layout.diffuse));
  } else {
    glDisableVertexAttribArray(gldev::kAttrDiffuse);
    glVertexAttrib4f(gldev::kAttrDiffuse, 1, 1, 1, 1);  // missing diffuse: opaque white
  }
  if (layout.specular >= 0) {
    glEnableVertexAttribArray(gldev::kAttrSpecular);
    glVertexAttribPointer(gldev::kAttrSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                          at(layout.specular));
  } else {
    glDisableVertexAttribArray(gldev::kAttrSpecular);
    glVertexAttrib4f(gldev::kAttrSpecular, 0, 0, 0, 0);
  }
  for (int i = 0; i < 8; ++i) {
    const GLuint index = gldev::kAttrTex0 + static_cast<GLuint>(i);
    if (ff_.texSets & (1u << i)) {
      glEnableVertexAttribArray(index);
      glVertexAttribPointer(index, std::min(layout.texDims[i], 2), GL_FLOAT, GL_FALSE, s,
                            at(layout.tex[i]));
    } else {
      glDisableVertexAttribArray(index);
    }
  }
}

HRESULT GlDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, GlVertexBuffer* vb,
                       std::uint64_t start, const std::uint8_t* user, UINT stride) {
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;
  d3dfront::DecodeFixedFunction(state_, ff_);
  const std::uint64_t vertices = PrimitiveVertexCount(type, primitiveCount);
  const std::uint64_t bytes = (vertices - 1) * stride + d3dfront::ReadExtent(state_, ff_.layout);
  gldev::ProgramKey key;
  BuildKey(key);
  const gldev::Program* program = programs_.Get(key, &error_);
  if (!program) return D3DERR_DRIVERINTERNALERROR;
  glUseProgram(program->id);
  ApplyUniforms(*program);
  ApplyFixedState();
  BindTextures();

  std::uintptr_t base = 0;
  if (vb) {
    vb->Upload();
    base = static_cast<std::uintptr_t>(start);
  } else {
    // Vertices from memory go into the streaming buffer; when it is full it
    // gets fresh storage rather than waiting for the draws that read it.
    glBindBuffer(GL_ARRAY_BUFFER, stream_);
    const auto size = static_cast<GLsizeiptr>(bytes);
    if (size > streamSize_) {
      streamSize_ = std::max<GLsizeiptr>(size, streamSize_ * 2);
      glBufferData(GL_ARRAY_BUFFER, streamSize_, nullptr, GL_STREAM_DRAW);
      streamOffset_ = 0;
    } else if (streamOffset_ + size > streamSize_) {
      glBufferData(GL_ARRAY_BUFFER, streamSize_, nullptr, GL_STREAM_DRAW);
      streamOffset_ = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, streamOffset_, size, user);
    base = static_cast<std::uintptr_t>(streamOffset_);
    streamOffset_ += (size + 63) & ~GLsizeiptr{63};
  }
  SetAttributes(base, stride);
  // Pre-transformed vertices are not clipped by depth in Direct3D.
  if (ff_.layout.pretransformed)
    glEnable(GL_DEPTH_CLAMP);
  else
    glDisable(GL_DEPTH_CLAMP);
  glDrawArrays(gldev::PrimitiveMode(type), 0, static_cast<GLsizei>(vertices));
  return D3D_OK;
}
