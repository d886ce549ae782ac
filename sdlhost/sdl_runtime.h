// The windowing runtime on the SDL host: the form's window handle and font,
// message boxes, the message loop, text files, the time of day, the random
// generator and the end of the process.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/runtime.h"
#include "runtime/random.h"
#include "runtime/text_files.h"

class SdlHost;

class SdlFont final : public IFont {
 public:
  explicit SdlFont(std::int32_t handle) : handle_(handle) {}
  HRESULT get_Name(std::string& name) override;
  HRESULT put_Name(const std::string& name) override;
  HRESULT get_hFont(std::int32_t& handle) override;

 private:
  std::string name_ = "Sans Serif";
  std::int32_t handle_;
};

class SdlRuntime final : public Runtime {
 public:
  // `fixedTime`, when set, is the time of day Timer always reports.
  SdlRuntime(SdlHost& host, std::optional<double> fixedTime);

  HRESULT Form_hWnd(std::int32_t& hWnd) override;
  HRESULT Form_Font(Ref<IFont>& font) override;
  void SetFormEvents(FormEvents events) override { events_ = std::move(events); }
  bool FormClosed() override { return closed_; }
  HRESULT MsgBox(const std::string& text) override;
  void DoEvents() override;
  void RunUntilFormClosed() override;
  // Kept, not released at End: the process's end gives back what the form's
  // objects hold (memory, threads, the GL driver's objects) with nothing
  // racing it, and their destructors would reach a display that may be gone.
  void KeepForm(std::shared_ptr<void> form) override { form_ = std::move(form); }
  [[noreturn]] void End(int exitCode) override;
  std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) override;
  std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) override;
  std::int32_t FileClose(std::int32_t fileNumber) override;
  float Timer() override;
  void Randomize(double seed) override { random_.Seed(seed); }
  float Rnd() override { return random_.Next(); }

  // The user asked for the form to close (its window's close button, or the
  // session ending). The form's close event runs once.
  void CloseForm();

 private:
  SdlHost& host_;
  std::optional<double> fixedTime_;
  Ref<IFont> font_;
  FormEvents events_;
  bool closed_ = false;
  std::shared_ptr<void> form_;
  TextFiles files_;
  RandomGenerator random_;
};
