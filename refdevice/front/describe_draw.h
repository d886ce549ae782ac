// Builds the description of one draw from the device state, once per draw,
// before the vertices are processed.
#pragma once

#include "d3dfront/fixed_function.h"
#include "refdevice/resources/device_state.h"
#include "refdevice/draw/draw_description.h"

namespace refdev {

struct VertexStage;

// Fills `d` for a draw with `state`, decoded as `ff`, whose vertices `vs`
// (after its Begin) reads.
void BuildDrawDescription(const DeviceState& state, const d3dfront::FixedFunction& ff,
                          const VertexStage& vs, DrawDescription& d);

}  // namespace refdev
