// The recording platform objects behind TestPlatform. Each records its calls
// into the shared TestRecord under its own name ("DX", "D3D", "Device",
// "VertexBuffer", "Texture", "D3DX", "D3DXFont", "DI", "Keyboard", "Font").
#pragma once

#include <string>
#include <type_traits>

#include "testplatform/test_platform.h"

namespace testplatform {

using RecordPtr = std::shared_ptr<TestRecord>;

// One argument as the log shows it.
inline std::string Arg(const std::string& s) { return "\"" + s + "\""; }
inline std::string Arg(float v) { return FormatFloat(v); }
template <class T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>, int> = 0>
std::string Arg(T v) {
  if constexpr (std::is_enum_v<T>)
    return std::to_string(static_cast<std::underlying_type_t<T>>(v));
  else
    return std::to_string(v);
}

// A pre-formatted argument (an object name, a matrix).
struct Raw {
  std::string text;
};
inline std::string Arg(const Raw& r) { return r.text; }

template <class... A>
std::string Args(const A&... a) {
  std::string out = "(";
  bool first = true;
  ((out += (first ? "" : ", ") + Arg(a), first = false), ...);
  return out + ")";
}

// Every call's shape: recorded first, where a scripted failure answers; then
// the object's own refusal, `check` (a status, or a function run only when
// the call was not made to fail, for checks that also change state), shown
// as " -> status" on the call's line.
template <class Check>
HRESULT Answer(TestRecord& rec, const std::string& name, const std::string& args, Check check) {
  if (const HRESULT hr = rec.Call(name, args)) return hr;
  HRESULT status;
  if constexpr (std::is_invocable_v<Check>)
    status = check();
  else
    status = check;
  if (status != 0 && rec.script.keepLog) rec.calls.back() += " -> " + std::to_string(status);
  return status;
}

// The objects the platform itself hands out.
Ref<DirectX8> NewRecordingDirectX(RecordPtr rec);
Ref<D3DX8> NewRecordingD3DX(RecordPtr rec);
Ref<IFont> NewRecordingFont(RecordPtr rec);

}  // namespace testplatform
