// The writer of scenes: one line for each device call the format can say,
// and the files a scene is written to. Every line ends in a newline and
// reads back (ParseScene) to the call it was made from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/d3d8types.h"

namespace scene {

std::string ClearLine(DWORD flags, D3DCOLOR color, float z, DWORD stencil);
std::string RenderStateLine(DWORD state, DWORD value);
std::string TextureStageStateLine(DWORD stage, DWORD state, DWORD value);
std::string FvfLine(DWORD code);
// Empty for a transform the format has no word for (TransformWord).
std::string TransformLine(D3DTRANSFORMSTATETYPE which, const D3DMATRIX& matrix);
// Draws whose vertices are in `file`, relative to the scene's folder.
std::string VertexBufferLine(UINT stride, D3DPRIMITIVETYPE type, UINT count, std::string_view file);
std::string UserPointerLine(UINT stride, D3DPRIMITIVETYPE type, UINT count, std::string_view file);
std::string CommentLine(std::string_view text);

// `path` without its extension, and the extension with its dot ("" when it
// has none; a dot in a folder's name is no extension).
std::pair<std::string, std::string> SplitExtension(const std::string& path);

// Why a file must not be written (it is one the program is writing already),
// or null.
using OutputGuard = const char* (*)(const std::string& path);

// One scene file and the vertex files beside it.
class SceneFileWriter {
 public:
  explicit SceneFileWriter(std::string scenePath, OutputGuard guard = nullptr)
      : path_(std::move(scenePath)), guard_(guard) {}

  const std::string& ScenePath() const { return path_; }
  // Writes `bytes` to the scene's next vertex file, "STEM-vbN.bin" with N
  // counting from 0, and returns its name relative to the scene. When the
  // file cannot be written `error` says which; a name is returned anyway.
  std::string WriteVertexFile(const void* data, std::size_t bytes, std::string* error);
  // Writes the scene's text. False (with `error`) when it cannot.
  bool WriteScene(std::string_view text, std::string* error);
  // Removes every file written so far, so that a scene that could not be
  // written whole leaves nothing behind. (A file cut short is removed at
  // once.)
  void RemoveFiles();

 private:
  // Writes `bytes` to `file`, a regular file or a new one the guard allows;
  // false with `error` ("cannot write FILE: the system's reason") when it
  // cannot.
  bool WriteFile(const std::string& file, std::string_view bytes, std::string* error);

  std::string path_;
  OutputGuard guard_;
  int vertexFiles_ = 0;
  std::vector<std::string> made_;
};

}  // namespace scene
