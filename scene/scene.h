// Scenes: recorded Direct3D 8 device calls as text, replayed on a device.
//
// One command a line; `#` starts a comment; blank lines are ignored. Integers
// are decimal or 0x hex, 0 to 0xFFFFFFFF. Floats are decimal (1, -0.5, 2.5e-3)
// or 0x hex, which gives the single's bit pattern (0x3F800000 is 1.0), so a
// recorder can write exact values. File names are one word, relative to the
// scene's folder.
//
//   clear FLAGS COLOR Z [STENCIL]   Clear(0, none, FLAGS, COLOR, Z, STENCIL or 0)
//   rs STATE VALUE                  SetRenderState(STATE, VALUE)
//   rsf STATE FLOAT                 SetRenderState(STATE, bit pattern of FLOAT)
//   ts STAGE STATE VALUE            SetTextureStageState(STAGE, STATE, VALUE)
//   fvf CODE                        SetVertexShader(CODE); later buffers get CODE
//   world|view|proj F1 ... F16      SetTransform, the matrix row by row
//   vb STRIDE PRIMTYPE PRIMCOUNT FILE
//       a vertex buffer of FILE's size (usage 0, the current format, default
//       pool) filled with FILE's bytes, bound to stream 0 with STRIDE, then
//       DrawPrimitive(PRIMTYPE, 0, PRIMCOUNT)
//   up STRIDE PRIMTYPE PRIMCOUNT FILE
//       DrawPrimitiveUP(PRIMTYPE, PRIMCOUNT, FILE's bytes, STRIDE); FILE must
//       hold every vertex the draw reads
//
// BeginScene is called before the first draw and EndScene after the last
// line. The whole scene, with its files, is read and checked before the first
// call reaches a device.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/d3d8.h"

namespace scene {

enum class Op { Clear, RenderState, TextureStageState, Fvf, Transform, VertexBuffer, UserPointer };

struct Command {
  Op op = Op::Clear;
  int line = 0;                 // 1-based line in the scene text
  std::array<DWORD, 4> args{};  // integer operands in the order written
  float z = 0.0f;               // clear's depth
  D3DTRANSFORMSTATETYPE transform = D3DTS_WORLD;
  D3DMATRIX matrix{};
  std::string file;                // as written
  std::vector<std::uint8_t> data;  // the file's bytes
};

struct Scene {
  std::vector<Command> commands;
};

// Parses `text`, reading the files it names from `folder` ("" for the current
// directory). On a malformed line returns false with `error` "LINE: reason".
bool ParseScene(std::string_view text, const std::string& folder, Scene& out, std::string* error);
// Reads and parses a scene file; errors read "PATH:LINE: reason".
bool LoadScene(const std::string& path, Scene& out, std::string* error);

// Replays the scene on `device`. A failing call stops the replay: returns its
// status with `error` "LINE: Operation failed (0x...)"; EndScene is still
// called when a scene was begun.
HRESULT RunScene(Direct3DDevice8& device, const Scene& scene, std::string* error);

// The device every scene starts on: windowed, 640x480 X8R8G8B8 back buffer,
// D16 automatic depth buffer, all states at their defaults.
HRESULT CreateSceneDevice(Direct3D8& d3d, D3DDEVTYPE type, Ref<Direct3DDevice8>& device);

}  // namespace scene
