// The windowing runtime and the Windows calls on Windows itself: the form is
// a system window captioned "Form1", message boxes are the system's (their
// text also goes to standard error), and C:\FPS.TXT is that file unless
// QUILLON_DRIVE_C names a folder that stands for drive C.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/runtime.h"
#include "platform/winsys.h"
#include "runtime/random.h"
#include "runtime/text_files.h"
#include "winhost/win_log_file.h"

class WinFont final : public IFont {
 public:
  explicit WinFont(std::int32_t handle) : handle_(handle) {}
  HRESULT get_Name(std::string& name) override {
    name = name_;
    return 0;
  }
  HRESULT put_Name(const std::string& name) override {
    name_ = name;
    return 0;
  }
  HRESULT get_hFont(std::int32_t& handle) override {
    handle = handle_;
    return 0;
  }

 private:
  std::string name_ = "MS Sans Serif";
  std::int32_t handle_;
};

class WinRuntime final : public Runtime {
 public:
  // Makes the form's window; false when the system refuses it. `fixedTime`,
  // when set, is the time of day Timer always reports. From then on the
  // host's lines also go to %LOCALAPPDATA%\Quillon\quillon.log.
  bool Start(std::optional<double> fixedTime);
  // Handles the form's waiting messages; true when one asked it to close
  // (the request is then the caller's to act on).
  bool TakeCloseRequest();

  HRESULT Form_hWnd(std::int32_t& hWnd) override;
  HRESULT Form_Font(Ref<IFont>& font) override;
  void SetFormEvents(FormEvents events) override { events_ = std::move(events); }
  bool FormClosed() override { return closed_; }
  HRESULT MsgBox(const std::string& text) override;
  void DoEvents() override;
  void RunUntilFormClosed() override;
  void KeepForm(std::shared_ptr<void> form) override { form_object_ = std::move(form); }
  // Closes the files, then releases the form, whose objects hold the device,
  // and waits for the device's own threads to end: ended with the device
  // alive, or its thread still unwinding, Wine's Direct3D thread races the
  // process's own teardown (a crash or a hang after a clean run).
  [[noreturn]] void End(int exitCode) override;
  // A run the user ended ends with kTraceFailed: the trace it asked for
  // could not be written.
  void FailAtEnd() { traceFailed_ = true; }
  std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) override {
    return files_.OpenForOutput(path, fileNumber);
  }
  std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) override {
    return files_.PrintLine(fileNumber, text);
  }
  std::int32_t FileClose(std::int32_t fileNumber) override { return files_.Close(fileNumber); }
  float Timer() override;
  void Randomize(double seed) override { random_.Seed(seed); }
  float Rnd() override { return random_.Next(); }

 private:
  void CloseForm();
  // Closes the files and logs the final status, which it returns.
  int SayEnd(int exitCode);

  std::intptr_t form_ = 0;
  std::shared_ptr<void> form_object_;
  std::optional<double> fixedTime_;
  Ref<IFont> font_;
  FormEvents events_;
  bool closed_ = false;
  bool traceFailed_ = false;
  std::optional<int> endStatus_;
  TextFiles files_;
  RandomGenerator random_;
  WinLogFile log_;
};

class WinWindowSystem final : public WindowSystem {
 public:
  std::int32_t ShowCursor(std::int32_t bShow) override;
  std::uint32_t GetTickCount() override;
};
