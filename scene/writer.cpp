#include "scene/writer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <initializer_list>

#include "scene/format.h"

namespace scene {
namespace {

std::string Line(std::initializer_list<std::string_view> words) {
  std::string line;
  for (std::string_view w : words) {
    if (!line.empty()) line += ' ';
    line += w;
  }
  return line + "\n";
}

std::string Decimal(DWORD value) { return std::to_string(value); }

std::string DrawLine(std::string_view word, UINT stride, D3DPRIMITIVETYPE type, UINT count,
                     std::string_view file) {
  return Line({word, Decimal(stride), Decimal(static_cast<DWORD>(type)), Decimal(count), file});
}

}  // namespace

std::string ClearLine(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  return Line({kClearWord, Decimal(flags), HexWord(color), FloatWord(z), Decimal(stencil)});
}

std::string RenderStateLine(DWORD state, DWORD value) {
  return Line({kRenderStateWord, Decimal(state), HexWord(value)});
}

std::string TextureStageStateLine(DWORD stage, DWORD state, DWORD value) {
  return Line({kTextureStageStateWord, Decimal(stage), Decimal(state), HexWord(value)});
}

std::string FvfLine(DWORD code) { return Line({kFvfWord, Decimal(code)}); }

std::string TransformLine(D3DTRANSFORMSTATETYPE which, const D3DMATRIX& matrix) {
  const std::string_view word = TransformWord(which);
  if (word.empty()) return {};
  std::string line(word);
  for (int i = 0; i < 16; ++i) line += " " + FloatWord(matrix.m[i / 4][i % 4]);
  return line + "\n";
}

std::string VertexBufferLine(UINT stride, D3DPRIMITIVETYPE type, UINT count,
                             std::string_view file) {
  return DrawLine(kVertexBufferWord, stride, type, count, file);
}

std::string UserPointerLine(UINT stride, D3DPRIMITIVETYPE type, UINT count, std::string_view file) {
  return DrawLine(kUserPointerWord, stride, type, count, file);
}

std::string CommentLine(std::string_view text) { return "# " + std::string(text) + "\n"; }

// The system's reason for a failed open, when it gave one.
static std::string Reason(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : "";
}

std::pair<std::string, std::string> SplitExtension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {path, ""};
  return {path.substr(0, dot), path.substr(dot)};
}

std::string SceneFileWriter::WriteVertexFile(const void* data, std::size_t bytes,
                                             std::string* error) {
  const std::string file =
      SplitExtension(path_).first + "-vb" + std::to_string(vertexFiles_++) + ".bin";
  errno = 0;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  const int openError = errno;
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
  if (!out && error) *error = "cannot write " + file + Reason(openError);
  const auto slash = file.find_last_of('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

bool SceneFileWriter::WriteScene(std::string_view text, std::string* error) {
  errno = 0;
  std::ofstream out(path_, std::ios::trunc);
  const int openError = errno;
  out << text;
  out.close();
  if (out) return true;
  if (error) *error = "cannot write " + path_ + Reason(openError);
  return false;
}

}  // namespace scene
