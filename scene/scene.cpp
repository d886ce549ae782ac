#include "scene/scene.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/d3d8_defaults.h"
#include "platform/d3dx8.h"

namespace scene {
namespace {

// A window handle for the headless device: the reference device shows
// nothing, but device creation wants a window.
constexpr HWND kSceneWindow = 1;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool IsHex(std::string_view w) {
  return w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X');
}

// A whole-word unsigned 32-bit integer, decimal or 0x hex.
bool ParseDword(std::string_view w, DWORD& out) {
  int base = 10;
  if (IsHex(w)) {
    w.remove_prefix(2);
    base = 16;
  }
  if (w.empty() || w[0] == '-' || w[0] == '+') return false;
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v, base);
  if (ec != std::errc() || end != w.data() + w.size() || v > 0xFFFFFFFFull) return false;
  out = static_cast<DWORD>(v);
  return true;
}

// A whole-word float: decimal, or 0x hex as the single's bit pattern.
bool ParseFloat(std::string_view w, float& out) {
  if (IsHex(w)) {
    DWORD bits;
    if (!ParseDword(w, bits)) return false;
    std::memcpy(&out, &bits, 4);
    return true;
  }
  if (w.empty() || w[0] == '+') return false;
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out);
  return ec == std::errc() && end == w.data() + w.size();
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string& reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = "cannot read " + path;
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    reason = "cannot read " + path;
    return false;
  }
  return true;
}

// Parses one line; `reason` explains a refusal. A blank or comment line
// yields no command.
bool ParseLine(std::string_view line, const std::string& folder, Command& cmd, bool& any,
               std::string& reason) {
  any = false;
  if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
    line = line.substr(0, hash);
  const std::vector<std::string_view> w = Words(line);
  if (w.empty()) return true;
  any = true;
  const std::string_view name = w[0];
  const std::size_t operands = w.size() - 1;

  auto dwords = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!ParseDword(w[first + i], cmd.args[i])) {
        reason = "'" + std::string(w[first + i]) + "' is not a 32-bit integer";
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

  if (name == "clear") {
    if (!arity(3, 4, "clear FLAGS COLOR Z [STENCIL]")) return false;
    cmd.op = Op::Clear;
    if (!dwords(1, 2)) return false;
    if (!ParseFloat(w[3], cmd.z)) {
      reason = "'" + std::string(w[3]) + "' is not a number";
      return false;
    }
    cmd.args[2] = 0;
    if (operands == 4 && !ParseDword(w[4], cmd.args[2])) {
      reason = "'" + std::string(w[4]) + "' is not a 32-bit integer";
      return false;
    }
    return true;
  }
  if (name == "rs") {
    if (!arity(2, 2, "rs STATE VALUE")) return false;
    cmd.op = Op::RenderState;
    return dwords(1, 2);
  }
  if (name == "rsf") {
    if (!arity(2, 2, "rsf STATE FLOAT")) return false;
    cmd.op = Op::RenderState;
    if (!dwords(1, 1)) return false;
    float f;
    if (!ParseFloat(w[2], f)) {
      reason = "'" + std::string(w[2]) + "' is not a number";
      return false;
    }
    std::memcpy(&cmd.args[1], &f, 4);
    return true;
  }
  if (name == "ts") {
    if (!arity(3, 3, "ts STAGE STATE VALUE")) return false;
    cmd.op = Op::TextureStageState;
    return dwords(1, 3);
  }
  if (name == "fvf") {
    if (!arity(1, 1, "fvf CODE")) return false;
    cmd.op = Op::Fvf;
    return dwords(1, 1);
  }
  if (name == "world" || name == "view" || name == "proj") {
    if (operands != 16) {
      reason = std::string(name) + " takes 16 numbers, row by row";
      return false;
    }
    cmd.op = Op::Transform;
    cmd.transform = name == "world" ? D3DTS_WORLD : name == "view" ? D3DTS_VIEW : D3DTS_PROJECTION;
    for (int i = 0; i < 16; ++i) {
      if (!ParseFloat(w[1 + i], cmd.matrix.m[i / 4][i % 4])) {
        reason = "'" + std::string(w[1 + i]) + "' is not a number";
        return false;
      }
    }
    return true;
  }
  if (name == "vb" || name == "up") {
    if (!arity(4, 4,
               name == "vb" ? "vb STRIDE PRIMTYPE PRIMCOUNT FILE"
                            : "up STRIDE PRIMTYPE PRIMCOUNT FILE"))
      return false;
    cmd.op = name == "vb" ? Op::VertexBuffer : Op::UserPointer;
    if (!dwords(1, 3)) return false;
    if (cmd.args[1] < D3DPT_POINTLIST || cmd.args[1] > D3DPT_TRIANGLEFAN) {
      reason = "primitive type " + std::to_string(cmd.args[1]) + " is not 1 to 6";
      return false;
    }
    cmd.file = std::string(w[4]);
    const std::filesystem::path path = std::filesystem::path(folder) / cmd.file;
    if (!ReadWholeFile(path.string(), cmd.data, reason)) return false;
    if (cmd.data.size() > 0x7FFFFFFFu) {
      reason = cmd.file + " is larger than a vertex buffer can be";
      return false;
    }
    if (cmd.op == Op::UserPointer) {
      // Drawing from memory has no buffer size the device could check, so
      // the file must cover every vertex here.
      const auto type = static_cast<D3DPRIMITIVETYPE>(cmd.args[1]);
      const std::uint64_t need = PrimitiveVertexCount(type, cmd.args[2]) * cmd.args[0];
      if (need > cmd.data.size()) {
        reason = cmd.file + " holds " + std::to_string(cmd.data.size()) +
                 " bytes; the draw reads " + std::to_string(need);
        return false;
      }
    }
    return true;
  }
  reason = "unknown command '" + std::string(name) + "'";
  return false;
}

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

}  // namespace

bool ParseScene(std::string_view text, const std::string& folder, Scene& out, std::string* error) {
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
    if (any) parsed.commands.push_back(std::move(cmd));
    pos = end + 1;
  }
  out = std::move(parsed);
  return true;
}

bool LoadScene(const std::string& path, Scene& out, std::string* error) {
  std::vector<std::uint8_t> bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    if (error) *error = reason;
    return false;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string lineError;
  if (!ParseScene(text, folder, out, &lineError)) {
    if (error) *error = path + ":" + lineError;
    return false;
  }
  return true;
}

HRESULT RunScene(Direct3DDevice8& device, const Scene& scene, std::string* error) {
  bool inScene = false;
  DWORD fvf = 0;
  HRESULT hr = D3D_OK;
  const char* what = "";
  int line = 0;
  for (const Command& cmd : scene.commands) {
    line = cmd.line;
    const DWORD* a = cmd.args.data();
    switch (cmd.op) {
      case Op::Clear:
        what = "Clear";
        hr = device.Clear(0, nullptr, a[0], a[1], cmd.z, a[2]);
        break;
      case Op::RenderState:
        what = "SetRenderState";
        hr = device.SetRenderState(static_cast<D3DRENDERSTATETYPE>(a[0]), a[1]);
        break;
      case Op::TextureStageState:
        what = "SetTextureStageState";
        hr = device.SetTextureStageState(a[0], static_cast<D3DTEXTURESTAGESTATETYPE>(a[1]), a[2]);
        break;
      case Op::Fvf:
        what = "SetVertexShader";
        hr = device.SetVertexShader(a[0]);
        if (hr == D3D_OK) fvf = a[0];
        break;
      case Op::Transform:
        what = "SetTransform";
        hr = device.SetTransform(cmd.transform, cmd.matrix);
        break;
      case Op::VertexBuffer:
      case Op::UserPointer: {
        if (!inScene) {
          what = "BeginScene";
          hr = device.BeginScene();
          if (hr != D3D_OK) break;
          inScene = true;
        }
        const auto type = static_cast<D3DPRIMITIVETYPE>(a[1]);
        if (cmd.op == Op::UserPointer) {
          what = "DrawPrimitiveUP";
          hr = device.DrawPrimitiveUP(type, a[2], cmd.data.data(), a[0]);
          break;
        }
        Ref<Direct3DVertexBuffer8> vb;
        what = "CreateVertexBuffer";
        hr = device.CreateVertexBuffer(static_cast<UINT>(cmd.data.size()), 0, fvf, D3DPOOL_DEFAULT,
                                       vb);
        if (hr != D3D_OK) break;
        what = "vertex-buffer fill";
        hr = D3DVertexBuffer8SetData(vb, 0, static_cast<std::int32_t>(cmd.data.size()), 0,
                                     cmd.data.data());
        if (hr != D3D_OK) break;
        what = "SetStreamSource";
        hr = device.SetStreamSource(0, vb, a[0]);
        if (hr != D3D_OK) break;
        what = "DrawPrimitive";
        hr = device.DrawPrimitive(type, 0, a[2]);
        break;
      }
    }
    if (hr != D3D_OK) break;
  }
  if (inScene) {
    const HRESULT end = device.EndScene();
    if (hr == D3D_OK && end != D3D_OK) {
      hr = end;
      what = "EndScene";
      line = scene.commands.empty() ? 0 : scene.commands.back().line;
    }
  }
  if (hr != D3D_OK && error)
    *error = std::to_string(line) + ": " + what + " failed (" + Hex(hr) + ")";
  return hr;
}

HRESULT CreateSceneDevice(Direct3D8& d3d, D3DDEVTYPE type, Ref<Direct3DDevice8>& device) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = 1;
  pp.EnableAutoDepthStencil = 1;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  return d3d.CreateDevice(0, type, kSceneWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp, device);
}

}  // namespace scene
