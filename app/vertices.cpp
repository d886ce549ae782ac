// The spinning cloud's vertices: random positions in the unit cube around the
// origin, random colours over a constant alpha, random texture coordinates.
#include "app/frmTest.h"
#include "graphics/platform_access.h"
#include "platform/checked.h"

namespace {
constexpr std::int32_t kLowerBound = 0;
constexpr std::int32_t kUpperBound = 2999;
static_assert(std::tuple_size_v<decltype(frmTest::Verts)> == kUpperBound + 1);
}  // namespace

HRESULT frmTest::SetupVertecies() {
  try {
    Runtime& runtime = RuntimeOrRaise();
    runtime.Randomize(runtime.Timer());

    const std::int32_t upper = static_cast<std::int32_t>(Verts.size()) - 1;
    // The counter is a Long: stepping past the top raises rather than wraps.
    for (std::int32_t i = 0; i <= upper; i = AddChecked(i, 1)) {
      if (i < kLowerBound || i > kUpperBound) Raise(ErrSubscriptOutOfRange);
      // Eight draws in field order; the record is stored whole, so a failure
      // part-way leaves it as it was.
      SceneVertex v;
      v.X = ToSingleChecked(static_cast<double>(runtime.Rnd()) - 0.5);
      v.Y = ToSingleChecked(static_cast<double>(runtime.Rnd()) - 0.5);
      v.Z = ToSingleChecked(static_cast<double>(runtime.Rnd()) - 0.5);
      const std::int16_t red = CIntChecked(static_cast<double>(runtime.Rnd()) * 255.0);
      const std::int16_t green = CIntChecked(static_cast<double>(runtime.Rnd()) * 255.0);
      const std::int16_t blue = CIntChecked(static_cast<double>(runtime.Rnd()) * 255.0);
      // The alpha is written 63.75 and rounds to 64, a quarter-opaque cloud.
      v.Color = D3DColorARGB(CIntChecked(63.75), red, green, blue);
      v.tu = runtime.Rnd();
      v.tv = runtime.Rnd();
      Verts[static_cast<std::size_t>(i)] = v;
    }
    return 0;
  } catch (const RuntimeError& e) {
    return e.Number;
  }
}

HRESULT frmTest::SpecificVertecies(void* /*vVerts*/) { return 0; }
