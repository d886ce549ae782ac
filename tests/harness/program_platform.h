// The program on the recording platform: a fresh moduleDX8 for every test,
// and the form's load event run to its end.
//
//   ProgramPlatform tp;                    // installs itself, resets moduleDX8
//   tp.script.modes = {{640, 480, 60, D3DFMT_R5G6B5}};
//   tp.Fail("D3D.CreateDevice", D3DERR_INVALIDCALL);
//   EXPECT_EQ(tp.RunFormLoad(), "exit 1");
#pragma once

#include <memory>
#include <string>

#include "app/frmTest.h"
#include "testplatform/test_platform.h"

// Puts every variable of moduleDX8 (graphics, keyboard, frame-rate counter)
// back to its start, releasing objects in the order the program itself does.
void ResetModuleDX8();

class ProgramPlatform final : public TestPlatform {
 public:
  ProgramPlatform();
  ~ProgramPlatform() override;

  // Runs the load event of `form` (or of a form the platform owns) and tells
  // how it ended: "exit N" when it ended the process with code N, otherwise
  // "returned without ending the process".
  std::string RunFormLoad(frmTest& form);
  std::string RunFormLoad();
  frmTest& Form();  // the form RunFormLoad() uses, created on first use

 private:
  std::unique_ptr<frmTest> form_;
};

// Start-up sets VertexFormat to 834 just before it makes the DirectX root;
// while one of these lives, that factory changes it to `code` there, as an
// edited start-up would, so the device is created with that code and the load
// event selects its loop (388: the picture loop).
class EditedVertexFormat final : public PlatformObjects {
 public:
  explicit EditedVertexFormat(ProgramPlatform& tp, std::int32_t code = 388);
  ~EditedVertexFormat() override;
  HRESULT NewDirectX8(Ref<DirectX8>& dx) override;
  HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override { return tp_.NewD3DX8(d3dx); }

 private:
  ProgramPlatform& tp_;
  std::int32_t code_;
};
