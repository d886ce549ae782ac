// The hardware device's resources: the shared context with its spare
// buffers, vertex buffers and textures with their GPU copies, and the calls
// that make and bind them.
#include <algorithm>

#include "d3dfront/argument_checks.h"
#include "formats/pixel_format.h"
#include "gldevice/gl_device.h"

namespace gldev {

namespace {

// Spare buffers kept for the next vertex buffer of the same size.
constexpr std::size_t kMaxSpares = 4;

}  // namespace

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
