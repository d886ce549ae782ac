// Resources of the reference device: vertex buffers and textures, kept in
// ordinary memory in their declared formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "d3dfront/argument_checks.h"
#include "platform/d3d8.h"
#include "refdevice/resources/aligned_vector.h"

namespace refdev {

// A value no earlier call returned; any thread may call it.
std::uint64_t NewStamp();

// A 2-D array of pixels in one colour format.
struct Surface {
  std::int32_t format = D3DFMT_UNKNOWN;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t pitch = 0;             // bytes from one row to the next
  AlignedVector<std::uint8_t> bytes;  // rows start on cache lines where pitch allows
  // Changed, to a value never used before, whenever the bytes are written
  // other than through the device's rasterizer, which may thus trust what it
  // last left there.
  std::uint64_t stamp = NewStamp();

  void Allocate(std::int32_t fmt, std::int32_t w, std::int32_t h);
  std::uint8_t* Row(std::int32_t y) { return bytes.data() + static_cast<std::size_t>(y) * pitch; }
  const std::uint8_t* Row(std::int32_t y) const {
    return bytes.data() + static_cast<std::size_t>(y) * pitch;
  }
};

// Memory of the vertex buffers a device has let go, kept for its next buffers
// of the same sizes: the program makes and drops a 72000-byte buffer every
// frame, and with this a warm frame takes nothing from the heap. Shared by
// the device and its buffers, which may outlive it; any thread may use it.
class BufferRecycler {
 public:
  BufferRecycler();
  ~BufferRecycler();
  BufferRecycler(const BufferRecycler&) = delete;
  BufferRecycler& operator=(const BufferRecycler&) = delete;

  // `size` bytes, all zero: a new buffer reads as zeros, as it always has,
  // so that no picture depends on what an earlier buffer held.
  std::vector<std::uint8_t> TakeBytes(std::size_t size);
  void GiveBytes(std::vector<std::uint8_t>&& bytes) noexcept;
  // Raw memory for the buffer objects themselves (with their counts).
  void* TakeBlock(std::size_t size);
  void GiveBlock(void* block, std::size_t size) noexcept;

 private:
  // At most this many of each are kept, and no storage above kKeepBytes: a
  // run of odd sizes does not pile up, a single huge buffer is not held.
  static constexpr std::size_t kKeep = 4;
  static constexpr std::size_t kKeepBytes = std::size_t{16} << 20;

  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> bytes_;
  std::vector<std::pair<void*, std::size_t>> blocks_;
};

// Allocates through a BufferRecycler's blocks (for std::allocate_shared).
template <class T>
struct RecyclingAllocator {
  using value_type = T;

  explicit RecyclingAllocator(std::shared_ptr<BufferRecycler> r) : recycler(std::move(r)) {}
  template <class U>
  RecyclingAllocator(const RecyclingAllocator<U>& other) : recycler(other.recycler) {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    return static_cast<T*>(recycler->TakeBlock(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { recycler->GiveBlock(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const RecyclingAllocator<U>& other) const {
    return recycler == other.recycler;
  }

  std::shared_ptr<BufferRecycler> recycler;
};

class RefVertexBuffer final : public Direct3DVertexBuffer8 {
 public:
  // With a recycler the storage comes from it and goes back to it.
  RefVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                  std::shared_ptr<BufferRecycler> recycler = nullptr);
  ~RefVertexBuffer() override;
  RefVertexBuffer(const RefVertexBuffer&) = delete;
  RefVertexBuffer& operator=(const RefVertexBuffer&) = delete;

  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override;

  const std::uint8_t* Data() const { return bytes_.data(); }
  UINT Length() const { return static_cast<UINT>(bytes_.size()); }
  int LockCount() const { return lockCount_; }

 private:
  std::shared_ptr<BufferRecycler> recycler_;
  std::vector<std::uint8_t> bytes_;
  DWORD usage_;
  DWORD fvf_;
  D3DPOOL pool_;
  int lockCount_ = 0;
};

class RefTexture final : public Direct3DTexture8 {
 public:
  // `levels` already resolved (at least 1, no more than the full chain).
  RefTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);

  DWORD GetLevelCount() const override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC& desc) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT& locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  const Surface& Level(UINT level) const { return levels_[level]; }
  D3DFORMAT Format() const { return format_; }

 private:
  std::vector<Surface> levels_;
  std::vector<bool> locked_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
};

using d3dfront::IsTextureFormat;

}  // namespace refdev
