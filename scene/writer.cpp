#include "scene/writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "scene/format.h"
#include "scene/user_files.h"

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
  return Line(
      {word, Decimal(stride), Decimal(static_cast<DWORD>(type)), Decimal(count), FileWord(file)});
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

namespace {
// What ends a folder's name in a path: on Windows a backslash too, so that a
// vertex file is named beside its scene (not by its whole path) there also.
#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif
}  // namespace

std::pair<std::string, std::string> SplitExtension(const std::string& path) {
  const auto slash = path.find_last_of(kSeparators);
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {path, ""};
  return {path.substr(0, dot), path.substr(dot)};
}

std::string SceneFileWriter::WriteVertexFile(const void* data, std::size_t bytes,
                                             std::string* error) {
  const std::string file =
      SplitExtension(path_).first + "-vb" + std::to_string(vertexFiles_++) + ".bin";
  if (!WriteFile(file, std::string_view(static_cast<const char*>(data), bytes), error)) return file;
  const auto slash = file.find_last_of(kSeparators);
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

bool SceneFileWriter::WriteScene(std::string_view text, std::string* error) {
  return WriteFile(path_, text, error);
}

void SceneFileWriter::RemoveFiles() {
  for (const std::string& file : made_) RemoveFile(file);
  made_.clear();
}

bool SceneFileWriter::WriteFile(const std::string& file, std::string_view bytes,
                                std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error) *error = "cannot write " + file + ": " + why;
    return false;
  };
  if (const char* refused = guard_ ? guard_(file) : nullptr) return fail(refused);
#ifdef _WIN32
  constexpr int kFlags = O_WRONLY | O_CREAT | O_BINARY;
#else
  constexpr int kFlags = O_WRONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
#endif
  // Opened without blocking (a FIFO without a reader would hold the program)
  // and emptied only once it is known to be a plain file. A link is not
  // followed: one planted where a vertex file goes would have the trace
  // overwrite whatever it names.
  const int fd = OpenFile(file, kFlags, 0666);
  if (fd < 0 && errno == ELOOP) return fail("it is a symbolic link, which is never followed");
  if (fd < 0) return fail(errno == ENXIO ? "it is not a regular file" : std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("it is not a regular file");
  }
  made_.push_back(file);
  int why = ::ftruncate(fd, 0) == 0 ? 0 : errno;
  while (why == 0 && !bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) why = n < 0 ? errno : ENOSPC;
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::close(fd) != 0 && why == 0) why = errno;
  if (why == 0) return true;
  // A file cut short is no use to a replay.
  RemoveFile(file);
  made_.pop_back();
  return fail(std::strerror(why));
}

}  // namespace scene
