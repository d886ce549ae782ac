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
#include "graphics/moduleDX8.h"
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
  // A device in moduleDX8's variables without the start-up, with `withD3DX`
  // also the D3DX object and an open scene, as pictures are drawn; the calls
  // made so far are cleared.
  void MakeDevice(bool withD3DX = false);

 private:
  std::unique_ptr<frmTest> form_;
};

// Start-up sets VertexFormat to 834 just before it makes the DirectX root;
// from the making of one of these on, the root's maker changes it to `code`
// there, as an edited start-up would, so the device is created with that code
// and the load event selects its loop (388: the picture loop).
struct EditedVertexFormat {
  explicit EditedVertexFormat(ProgramPlatform& tp, std::int32_t code = 388) {
    tp.script.beforeNewDirectX8 = [code] { moduleDX8::VertexFormat = code; };
  }
};
