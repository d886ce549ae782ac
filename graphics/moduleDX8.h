// moduleDX8, the Direct3D side: module state and routines.
//
// The state is module-level, as the program was written: zero or unset at
// start. ResetGraphicsState() puts the Direct3D side's variables back to that
// start, for a fresh run inside one process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/d3dx8.h"

namespace moduleDX8 {

// Direct3D side.
extern Ref<DirectX8> DX;
extern Ref<Direct3D8> D3D;
extern Ref<Direct3DDevice8> D3DDevice;
extern Ref<D3DX8> D3DX;
extern D3DPRESENT_PARAMETERS D3DPP;
extern D3DCAPS8 D3DCaps;
extern D3DDISPLAYMODE DispMode;
extern std::int32_t DevType;
extern std::int32_t VertexFormat;

void ResetGraphicsState();

// Device creation.
std::int32_t InitDX();
std::int32_t InitD3D(std::int32_t hWnd, std::int32_t Width, std::int32_t Height,
                     std::int32_t Depth, std::int32_t BackBuffers, std::int32_t DepthFormat);
void InitD3DX();

// Display-mode search; `Format` is written only on success.
std::int32_t FindDisplayMode(std::int32_t Width, std::int32_t Height, std::int32_t Depth,
                             std::int32_t& Format);

// Default render states of a new device.
std::int32_t SetDefaultRenderStates();

// Release of the graphics objects.
void TerminateD3D();
void TerminateDX();

// Transforms.
void SetupMatrices(std::int32_t Distance);
void RotateWorld(float AngleX, float AngleY, float AngleZ);
void SetCamera(float EyeX, float EyeY, float EyeZ, float AtX, float AtY, float AtZ);

}  // namespace moduleDX8
