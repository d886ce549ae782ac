// XrgbRow for every instruction set Highway's foreach_target compiles (the
// Linux build; xrgb_row_portable.cpp where there is no Highway).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pictures/xrgb_row_vector.cpp"
#include <hwy/foreach_target.h>  // before highway.h
#include <hwy/highway.h>

#include "pictures/image.h"

HWY_BEFORE_NAMESPACE();
namespace pictures {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void XrgbRowImpl(const std::uint32_t* src, std::uint32_t* dst, std::size_t n,
                 std::uint32_t orBits) {
  const hn::ScalableTag<std::uint32_t> d;
  const std::size_t N = hn::Lanes(d);
  const auto keep = hn::Set(d, 0x00FFFFFFu);
  const auto add = hn::Set(d, orBits);
  std::size_t i = 0;
  for (; i + N <= n; i += N)
    hn::StoreU(hn::Or(hn::And(hn::LoadU(d, src + i), keep), add), d, dst + i);
  for (; i < n; ++i) dst[i] = (src[i] & 0x00FFFFFFu) | orBits;
}

}  // namespace HWY_NAMESPACE
}  // namespace pictures
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pictures {
HWY_EXPORT(XrgbRowImpl);
void DispatchXrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n,
                     std::uint32_t orBits) {
  HWY_DYNAMIC_DISPATCH(XrgbRowImpl)(src, dst, n, orBits);
}
}  // namespace pictures

void XrgbRow(const std::uint32_t* src, std::uint32_t* dst, std::size_t n, std::uint32_t orBits) {
  pictures::DispatchXrgbRow(src, dst, n, orBits);
}
#endif
