// The form frmTest: the program's driver. Its load event runs the whole
// program on the runtime's thread and ends the process itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/d3dx8.h"
#include "graphics/picture.h"
#include "platform/runtime.h"

// The 24-byte vertex of the spinning cloud.
struct SceneVertex {
  float X, Y, Z;
  D3DCOLOR Color;
  float tu, tv;
};
static_assert(sizeof(SceneVertex) == 24);
static_assert(offsetof(SceneVertex, X) == 0 && offsetof(SceneVertex, Y) == 4 &&
              offsetof(SceneVertex, Z) == 8 && offsetof(SceneVertex, Color) == 12 &&
              offsetof(SceneVertex, tu) == 16 && offsetof(SceneVertex, tv) == 20);

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

class frmTest {
 public:
  static constexpr const char* Caption = "Form1";

  // Fields, zero, false or nothing when the form is created.
  Picture MainPicture;
  std::int16_t QuitRequested = kFalse;
  std::array<SceneVertex, 3000> Verts{};
  Ref<Direct3DVertexBuffer8> VertexBuffer;
  std::int32_t VertexSize = 0;
  Ref<IFont> FormFont;
  Ref<D3DXFont> D3DFont;
  float RotY = 0.0f;
  float RotX = 0.0f;
  float CameraZ = 0.0f;

  // The load event.
  void Form_Load();

  // Public methods; a runtime error inside one comes back as a failing status.
  HRESULT SetupVertecies();
  HRESULT SpecificVertecies(void* vVerts);
  HRESULT SetupPixelFog(const D3DCOLOR& Color, const std::int32_t& mode);

 private:
  void ReportError(std::int32_t number, const std::string& description);
  void Shutdown(int exitCode);
  // Returns false when the load event must return to the runtime at once (a
  // failed vertex-buffer fill), skipping the shutdown sequence.
  bool RunSpinningCloud();
  void RunPictureLoop();
};
