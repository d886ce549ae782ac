#include "refdevice/resources/resources.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "formats/pixel_format.h"

namespace refdev {

std::uint64_t NewStamp() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

void Surface::Allocate(std::int32_t fmt, std::int32_t w, std::int32_t h) {
  stamp = NewStamp();
  format = fmt;
  width = w;
  height = h;
  pitch = w * BytesPerPixel(fmt);
  bytes.assign(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(h), 0);
}

BufferRecycler::BufferRecycler() {
  // Giving back never allocates.
  bytes_.reserve(kKeep);
  blocks_.reserve(kKeep);
}

BufferRecycler::~BufferRecycler() {
  for (const auto& kept : blocks_) ::operator delete(kept.first);
}

std::vector<std::uint8_t> BufferRecycler::TakeBytes(std::size_t size) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = bytes_.rbegin(); it != bytes_.rend(); ++it) {
      if (it->size() != size) continue;
      std::vector<std::uint8_t> bytes = std::move(*it);
      bytes_.erase(std::next(it).base());
      std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
      return bytes;
    }
  }
  return std::vector<std::uint8_t>(size, 0);
}

void BufferRecycler::GiveBytes(std::vector<std::uint8_t>&& bytes) noexcept {
  if (bytes.empty() || bytes.capacity() > kKeepBytes) return;
  std::vector<std::uint8_t> dropped;  // freed outside the lock
  const std::lock_guard<std::mutex> lock(mutex_);
  if (bytes_.size() == kKeep) {
    dropped = std::move(bytes_.front());
    bytes_.erase(bytes_.begin());
  }
  bytes_.push_back(std::move(bytes));
}

void* BufferRecycler::TakeBlock(std::size_t size) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it) {
      if (it->second != size) continue;
      void* block = it->first;
      blocks_.erase(std::next(it).base());
      return block;
    }
  }
  return ::operator new(size);
}

void BufferRecycler::GiveBlock(void* block, std::size_t size) noexcept {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (blocks_.size() < kKeep) {
      blocks_.emplace_back(block, size);
      return;
    }
  }
  ::operator delete(block);
}

RefVertexBuffer::RefVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                 std::shared_ptr<BufferRecycler> recycler)
    : recycler_(std::move(recycler)),
      bytes_(recycler_ ? recycler_->TakeBytes(length) : std::vector<std::uint8_t>(length, 0)),
      usage_(usage),
      fvf_(fvf),
      pool_(pool) {}

RefVertexBuffer::~RefVertexBuffer() {
  if (recycler_) recycler_->GiveBytes(std::move(bytes_));
}

HRESULT RefVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  (void)flags;
  if (const HRESULT hr = d3dfront::CheckLock(offset, size, Length(), data); hr != D3D_OK) return hr;
  *data = bytes_.data() + offset;
  ++lockCount_;
  return D3D_OK;
}

HRESULT RefVertexBuffer::Unlock() {
  if (const HRESULT hr = d3dfront::CheckUnlock(lockCount_); hr != D3D_OK) return hr;
  --lockCount_;
  return D3D_OK;
}

HRESULT RefVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC& desc) {
  desc.Format = D3DFMT_UNKNOWN;  // vertex buffers report the "vertex data" format
  desc.Type = D3DRTYPE_VERTEXBUFFER;
  desc.Usage = usage_;
  desc.Pool = pool_;
  desc.Size = Length();
  desc.FVF = fvf_;
  return D3D_OK;
}

RefTexture::RefTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                       D3DPOOL pool)
    : levels_(levels), locked_(levels, false), usage_(usage), format_(format), pool_(pool) {
  for (UINT i = 0; i < levels; ++i) {
    levels_[i].Allocate(format, static_cast<std::int32_t>(width),
                        static_cast<std::int32_t>(height));
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
  }
}

HRESULT RefTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) {
  if (level >= levels_.size()) return D3DERR_INVALIDCALL;
  const Surface& s = levels_[level];
  desc.Format = format_;
  desc.Type = D3DRTYPE_SURFACE;
  desc.Usage = usage_;
  desc.Pool = pool_;
  desc.Size = static_cast<UINT>(s.bytes.size());
  desc.MultiSampleType = 0;
  desc.Width = static_cast<UINT>(s.width);
  desc.Height = static_cast<UINT>(s.height);
  return D3D_OK;
}

HRESULT RefTexture::LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) {
  (void)flags;
  const bool known = level < levels_.size();
  const UINT width = known ? static_cast<UINT>(levels_[level].width) : 0;
  const UINT height = known ? static_cast<UINT>(levels_[level].height) : 0;
  if (const HRESULT hr =
          d3dfront::CheckLockRect(level, static_cast<UINT>(levels_.size()), known && locked_[level],
                                  pool_, usage_, rect, width, height);
      hr != D3D_OK)
    return hr;
  Surface& s = levels_[level];
  std::int32_t x = 0, y = 0;
  if (rect != nullptr) {
    x = rect->left;
    y = rect->top;
  }
  locked.Pitch = s.pitch;
  locked.pBits = s.Row(y) + static_cast<std::size_t>(x) * BytesPerPixel(s.format);
  s.stamp = NewStamp();  // the caller may write anything there
  locked_[level] = true;
  return D3D_OK;
}

HRESULT RefTexture::UnlockRect(UINT level) {
  if (const HRESULT hr = d3dfront::CheckUnlockRect(level, static_cast<UINT>(levels_.size()),
                                                   level < levels_.size() && locked_[level]);
      hr != D3D_OK)
    return hr;
  locked_[level] = false;
  return D3D_OK;
}

}  // namespace refdev
