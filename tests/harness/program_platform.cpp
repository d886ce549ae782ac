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

EditedVertexFormat::EditedVertexFormat(ProgramPlatform& tp, std::int32_t code)
    : tp_(tp), code_(code) {
  InstallPlatform({this, &tp, &tp});
}

EditedVertexFormat::~EditedVertexFormat() { InstallPlatform({&tp_, &tp_, &tp_}); }

HRESULT EditedVertexFormat::NewDirectX8(Ref<DirectX8>& dx) {
  moduleDX8::VertexFormat = code_;
  return tp_.NewDirectX8(dx);
}
