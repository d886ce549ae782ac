// Resources of the reference device: vertex buffers and textures, kept in
// ordinary memory in their declared formats.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8.h"

namespace refdev {

// A 2-D array of pixels in one colour format.
struct Surface {
  std::int32_t format = D3DFMT_UNKNOWN;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t pitch = 0;  // bytes from one row to the next
  std::vector<std::uint8_t> bytes;

  void Allocate(std::int32_t fmt, std::int32_t w, std::int32_t h);
  std::uint8_t* Row(std::int32_t y) { return bytes.data() + static_cast<std::size_t>(y) * pitch; }
  const std::uint8_t* Row(std::int32_t y) const {
    return bytes.data() + static_cast<std::size_t>(y) * pitch;
  }
};

class RefVertexBuffer final : public Direct3DVertexBuffer8 {
 public:
  RefVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

  HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC& desc) override;

  const std::uint8_t* Data() const { return bytes_.data(); }
  UINT Length() const { return static_cast<UINT>(bytes_.size()); }
  int LockCount() const { return lockCount_; }

 private:
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

  // Number of levels of a full mip chain down to 1x1.
  static UINT FullChainLength(UINT width, UINT height);

 private:
  std::vector<Surface> levels_;
  std::vector<bool> locked_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
};

// Whether the device can make textures in `format`.
bool IsTextureFormat(std::int32_t format);

}  // namespace refdev
