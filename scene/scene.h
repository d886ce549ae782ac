// Scenes: Direct3D 8 device calls read from text (format.h defines the
// format) and replayed on any device.
//
// Each command of the text becomes one Command; the whole scene, with the
// vertex files it names, is read and checked before the first call reaches a
// device. BeginScene is called before the first draw and EndScene after the
// last line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/d3d8.h"
#include "scene/format.h"

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

// The reader (reader.cpp).
//
// Parses `text`, reading the files it names from `folder` ("" for the current
// directory). On a malformed line returns false with `error` "LINE: reason";
// so too at the line where the commands with all the vertex bytes their
// draws read (a file read by two draws counting twice) pass `memoryLimit`.
bool ParseScene(std::string_view text, const std::string& folder, Scene& out, std::string* error,
                std::uint64_t memoryLimit = kMaxSceneMemoryBytes);
// Reads and parses a scene file; errors read "PATH:LINE: reason".
bool LoadScene(const std::string& path, Scene& out, std::string* error);

// The runner (runner.cpp).
//
// Replays the scene on `device`. A failing call stops the replay: returns its
// status with `error` "LINE: Operation failed (0x...)"; EndScene is still
// called when a scene was begun.
HRESULT RunScene(Direct3DDevice8& device, const Scene& scene, std::string* error);

// The device every scene starts on: windowed, 640x480 X8R8G8B8 back buffer,
// D16 automatic depth buffer, all states at their defaults.
HRESULT CreateSceneDevice(Direct3D8& d3d, D3DDEVTYPE type, Ref<Direct3DDevice8>& device);

}  // namespace scene
