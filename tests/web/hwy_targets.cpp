// Highway's target list in the browser build, where its library (built for
// x86 only) is not linked: one target is compiled, WebAssembly SIMD, chosen
// statically, so the tests that go through every target see that one.
#include <hwy/targets.h>

namespace hwy {

int64_t SupportedTargets() { return HWY_STATIC_TARGET; }
void SetSupportedTargetsForTest(int64_t) {}

}  // namespace hwy
