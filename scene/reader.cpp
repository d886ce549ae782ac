#include <cstring>
#include <filesystem>

#include "platform/d3d8_defaults.h"
#include "scene/format.h"
#include "scene/scene.h"
#include "scene/user_files.h"

namespace scene {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The line's words, up to a '#' outside quotes. A word that starts with a
// double quote is read as FileWord writes it and ends at its closing quote.
bool Words(std::string_view line, std::vector<std::string>& words, std::string& reason) {
  std::size_t i = 0;
  while (i < line.size() && line[i] != '#') {
    if (IsBlank(line[i])) {
      ++i;
    } else if (line[i] == '"') {
      std::string word;
      std::size_t used = 0;
      if (!ReadQuotedWord(line.substr(i), word, used, reason)) return false;
      i += used;
      if (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
        reason = "a quoted name must be followed by a blank";
        return false;
      }
      words.push_back(std::move(word));
    } else {
      const std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i]) && line[i] != '#') ++i;
      words.emplace_back(line.substr(start, i - start));
    }
  }
  return true;
}

// Parses one line; `reason` explains a refusal. A blank or comment line
// yields no command.
bool ParseLine(std::string_view line, const std::string& folder, Command& cmd, bool& any,
               std::string& reason) {
  any = false;
  std::vector<std::string> w;
  if (!Words(line, w, reason)) return false;
  if (w.empty()) return true;
  any = true;
  const std::string_view name = w[0];
  const std::size_t operands = w.size() - 1;

  auto dwords = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!ParseDword(w[first + i], cmd.args[i])) {
        reason = "'" + Printable(w[first + i]) + "' is not a 32-bit integer";
        return false;
      }
    }
    return true;
  };
  auto arity = [&](std::size_t lo, std::size_t hi, const char* usage) {
    if (operands < lo || operands > hi) {
      reason = std::string("expected: ") + usage;
      return false;
    }
    return true;
  };

  if (name == kClearWord) {
    if (!arity(3, 4, "clear FLAGS COLOR Z [STENCIL]")) return false;
    cmd.op = Op::Clear;
    if (!dwords(1, 2)) return false;
    if (!ParseFloat(w[3], cmd.z)) {
      reason = "'" + Printable(w[3]) + "' is not a number";
      return false;
    }
    cmd.args[2] = 0;
    if (operands == 4 && !ParseDword(w[4], cmd.args[2])) {
      reason = "'" + Printable(w[4]) + "' is not a 32-bit integer";
      return false;
    }
    return true;
  }
  if (name == kRenderStateWord) {
    if (!arity(2, 2, "rs STATE VALUE")) return false;
    cmd.op = Op::RenderState;
    return dwords(1, 2);
  }
  if (name == kRenderStateFloatWord) {
    if (!arity(2, 2, "rsf STATE FLOAT")) return false;
    cmd.op = Op::RenderState;
    if (!dwords(1, 1)) return false;
    float f;
    if (!ParseFloat(w[2], f)) {
      reason = "'" + Printable(w[2]) + "' is not a number";
      return false;
    }
    std::memcpy(&cmd.args[1], &f, 4);
    return true;
  }
  if (name == kTextureStageStateWord) {
    if (!arity(3, 3, "ts STAGE STATE VALUE")) return false;
    cmd.op = Op::TextureStageState;
    return dwords(1, 3);
  }
  if (name == kFvfWord) {
    if (!arity(1, 1, "fvf CODE")) return false;
    cmd.op = Op::Fvf;
    return dwords(1, 1);
  }
  if (const auto transform = TransformFromWord(name)) {
    if (operands != 16) {
      reason = Printable(name) + " takes 16 numbers, row by row";
      return false;
    }
    cmd.op = Op::Transform;
    cmd.transform = *transform;
    for (int i = 0; i < 16; ++i) {
      if (!ParseFloat(w[1 + i], cmd.matrix.m[i / 4][i % 4])) {
        reason = "'" + Printable(w[1 + i]) + "' is not a number";
        return false;
      }
    }
    return true;
  }
  if (name == kVertexBufferWord || name == kUserPointerWord) {
    if (!arity(4, 4,
               name == kVertexBufferWord ? "vb STRIDE PRIMTYPE PRIMCOUNT FILE"
                                         : "up STRIDE PRIMTYPE PRIMCOUNT FILE"))
      return false;
    cmd.op = name == kVertexBufferWord ? Op::VertexBuffer : Op::UserPointer;
    if (!dwords(1, 3)) return false;
    if (cmd.args[1] < D3DPT_POINTLIST || cmd.args[1] > D3DPT_TRIANGLEFAN) {
      reason = "primitive type " + std::to_string(cmd.args[1]) + " is not 1 to 6";
      return false;
    }
    cmd.file = w[4];
    // The system would read the name only up to a NUL (\x00 in quotes), and
    // so open another file.
    if (cmd.file.find('\0') != std::string::npos) {
      reason = "the file name " + Printable(cmd.file) + " holds a NUL byte";
      return false;
    }
    const std::filesystem::path path = std::filesystem::path(folder) / cmd.file;
    if (!ReadUserFile(path.string(), kMaxVertexFileBytes, cmd.data, reason)) return false;
    if (cmd.op == Op::UserPointer) {
      // Drawing from memory has no buffer size the device could check, so
      // the file must cover every vertex here.
      // (The product of the two may pass 2^64: compared by division.)
      const auto type = static_cast<D3DPRIMITIVETYPE>(cmd.args[1]);
      const std::uint64_t vertices = PrimitiveVertexCount(type, cmd.args[2]);
      const std::uint64_t stride = cmd.args[0];
      if (stride != 0 && vertices > cmd.data.size() / stride) {
        reason = Printable(cmd.file) + " holds " + std::to_string(cmd.data.size()) +
                 " bytes; the draw reads " + std::to_string(vertices) + " vertices of " +
                 std::to_string(stride) + " bytes";
        return false;
      }
    }
    return true;
  }
  reason = "unknown command '" + Printable(name) + "'";
  return false;
}

}  // namespace

bool ParseScene(std::string_view text, const std::string& folder, Scene& out, std::string* error,
                std::uint64_t memoryLimit) {
  // What a command holds beyond its vertex bytes: itself, the room the list
  // keeps for growing, and its blocks' overhead on the heap.
  constexpr std::uint64_t kCommandCost = 2 * sizeof(Command) + 64;
  std::uint64_t memory = 0;
  Scene parsed;
  int lineNumber = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    ++lineNumber;
    Command cmd;
    cmd.line = lineNumber;
    bool any = false;
    std::string reason;
    if (!ParseLine(text.substr(pos, end - pos), folder, cmd, any, reason)) {
      if (error) *error = std::to_string(lineNumber) + ": " + reason;
      return false;
    }
    if (any) {
      memory += kCommandCost + cmd.data.size();
      if (memory > memoryLimit) {
        if (error)
          *error = std::to_string(lineNumber) +
                   ": the scene and the vertex files its draws read take more than " +
                   std::to_string(memoryLimit) + " bytes in all";
        return false;
      }
      parsed.commands.push_back(std::move(cmd));
    }
    pos = end + 1;
  }
  out = std::move(parsed);
  return true;
}

bool LoadScene(const std::string& path, Scene& out, std::string* error) {
  std::vector<std::uint8_t> bytes;
  std::string reason;
  if (!ReadUserFile(path, kMaxSceneBytes, bytes, reason)) {
    if (error) *error = reason;
    return false;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string lineError;
  if (!ParseScene(text, folder, out, &lineError)) {
    if (error) *error = Printable(path) + ":" + lineError;
    return false;
  }
  return true;
}

}  // namespace scene
