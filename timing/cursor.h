// moduleDX8's cursor routine.
#pragma once

#include <cstdint>

namespace moduleDX8 {

// `bShow` is a Boolean: any non-zero value counts as true.
void ShowMouse(const std::int16_t& bShow);

}  // namespace moduleDX8
