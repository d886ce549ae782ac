// The composition root on Windows: the system's Direct3D 8 and DirectInput 8,
// the project's D3DX 8 over them, the runtime and the Windows calls; and
// what the shell's entry asks of a host.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "hostcommon/shell.h"
#include "platform/display_host.h"
#include "platform/platform.h"
#include "winhost/win_key_script.h"
#include "winhost/win_presentation.h"
#include "winhost/win_runtime.h"

class WinPlatform final : public ShellHost {
 public:
  // The settings every host takes, the device's, the trace's and the presentation's.
  HostSettingList Settings() override;
  HostUsage Usage() override;
  // To the console, pipe or file the program was started with, else in a
  // box: a program started from the desktop has none.
  bool Tell(bool error, const std::string& text) override;
  void SetVariable(const char* name, const std::string& value) override;
  const char* GetVariable(const char* name) override;
  // Reads the key script and makes the form's window; false with a reason
  // when either cannot be done.
  bool Start(const HostConfig& config, std::string& error) override;
  Platform GetPlatform() override;
  WinRuntime& Runtime() { return runtime_; }

 private:
  // "new DirectX8" asks for these afresh each time.
  HRESULT NewDirect3D(Ref<Direct3D8>& d3d);
  HRESULT NewDirectInput(Ref<DirectInput8>& di);

  // The runtime the program sees: the Windows one, ending with kTraceFailed
  // after a trace that could not be written.
  class EndingRuntime final : public Runtime {
   public:
    explicit EndingRuntime(WinRuntime& inner) : inner_(inner) {}
    void TraceFailed() { traceFailed_ = true; }
    HRESULT Form_hWnd(std::int32_t& hWnd) override { return inner_.Form_hWnd(hWnd); }
    HRESULT Form_Font(Ref<IFont>& font) override { return inner_.Form_Font(font); }
    void SetFormEvents(FormEvents events) override { inner_.SetFormEvents(std::move(events)); }
    bool FormClosed() override { return inner_.FormClosed(); }
    HRESULT MsgBox(const std::string& text) override { return inner_.MsgBox(text); }
    void DoEvents() override { inner_.DoEvents(); }
    void RunUntilFormClosed() override { inner_.RunUntilFormClosed(); }
    [[noreturn]] void End(int exitCode) override {
      inner_.End(exitCode == kEndedByUser && traceFailed_ ? kTraceFailed : exitCode);
    }
    std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) override {
      return inner_.FileOpenForOutput(path, fileNumber);
    }
    std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) override {
      return inner_.FilePrintLine(fileNumber, text);
    }
    std::int32_t FileClose(std::int32_t fileNumber) override {
      return inner_.FileClose(fileNumber);
    }
    float Timer() override { return inner_.Timer(); }
    void Randomize(double seed) override { inner_.Randomize(seed); }
    float Rnd() override { return inner_.Rnd(); }

   private:
    WinRuntime& inner_;
    bool traceFailed_ = false;
  };

  HostConfig config_;
  std::deque<std::string> values_;  // what GetVariable returned, kept alive
  std::unique_ptr<WinKeyScript> script_;
  WinPresentOptions present_;
  WinRuntime runtime_;
  EndingRuntime ending_{runtime_};
  WinWindowSystem windows_;
  std::unique_ptr<DisplayHost> display_;  // the reference device's, made when first asked for
  std::unique_ptr<PlatformObjects> objects_;
};
