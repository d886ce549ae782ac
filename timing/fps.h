// moduleDX8's frame-rate counter.
#pragma once

namespace moduleDX8 {

extern float TickNow;
extern float TickLast;
extern float FrameCount;
extern float FPS;
// Puts the counter's variables back to their start.
void ResetFrameRateState();

void UpdateFPS();

}  // namespace moduleDX8
