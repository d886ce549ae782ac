#include "tests/harness/program_platform.h"

#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "timing/fps.h"

void ResetModuleDX8() {
  // The keyboard before DirectInput, and both before the graphics objects.
  moduleDX8::ResetKeyboardState();
  moduleDX8::ResetGraphicsState();
  moduleDX8::ResetFrameRateState();
}

ProgramPlatform::ProgramPlatform() { ResetModuleDX8(); }

ProgramPlatform::~ProgramPlatform() {
  form_.reset();
  ResetModuleDX8();
}

std::string ProgramPlatform::RunFormLoad(frmTest& form) {
  try {
    form.Form_Load();
  } catch (const ProcessEnded& ended) {
    return "exit " + std::to_string(ended.ExitCode);
  }
  return "returned without ending the process";
}

frmTest& ProgramPlatform::Form() {
  if (!form_) form_ = std::make_unique<frmTest>();
  return *form_;
}

std::string ProgramPlatform::RunFormLoad() { return RunFormLoad(Form()); }

void ProgramPlatform::MakeDevice(bool withD3DX) {
  moduleDX8::D3DDevice = NewDevice();
  if (withD3DX && (NewD3DX8(moduleDX8::D3DX) | moduleDX8::D3DDevice->BeginScene()))
    throw std::logic_error("the recording platform made no D3DX object or scene");
  ClearCalls();
}
