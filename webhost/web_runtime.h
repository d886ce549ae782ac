// The windowing runtime in a browser tab: the form is the page's canvas
// under the caption "Form1", message boxes are the page's modal box (the
// program waits for OK while the browser runs), C:\FPS.TXT is a file in the
// page's memory that the page shows and saves, and the end of the process
// is the page saying so.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hostcommon/cursor_counter.h"
#include "hostcommon/key_script.h"
#include "platform/runtime.h"
#include "platform/winsys.h"
#include "runtime/random.h"
#include "runtime/text_files.h"
#include "webhost/page.h"

// The form's one window handle: the page has one canvas.
constexpr std::int32_t kWebFormWindow = 0x0C0A;

class WebFont final : public IFont {
 public:
  HRESULT get_Name(std::string& name) override {
    name = name_;
    return 0;
  }
  HRESULT put_Name(const std::string& name) override {
    name_ = name;
    return 0;
  }
  HRESULT get_hFont(std::int32_t& handle) override {
    handle = 0x0A01;  // D3DX only needs it non-zero
    return 0;
  }

 private:
  std::string name_ = "MS Sans Serif";
};

class WebRuntime final : public Runtime {
 public:
  // `fixedTime`, when set, is the time of day Timer always reports; with a
  // key script the log is also downloaded as FPS.TXT when the process ends.
  WebRuntime(std::optional<double> fixedTime, bool downloadLogAtEnd)
      : fixedTime_(fixedTime), downloadLog_(downloadLogAtEnd) {}

  HRESULT Form_hWnd(std::int32_t& hWnd) override {
    hWnd = kWebFormWindow;
    return 0;
  }
  HRESULT Form_Font(Ref<IFont>& font) override {
    font = font_;
    return 0;
  }
  void SetFormEvents(FormEvents events) override { events_ = std::move(events); }
  bool FormClosed() override { return false; }  // a page's canvas has no close button
  HRESULT MsgBox(const std::string& text) override;
  void DoEvents() override;
  void RunUntilFormClosed() override;
  void KeepForm(std::shared_ptr<void> form) override { form_ = std::move(form); }
  [[noreturn]] void End(int exitCode) override;
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

  // Where C:\FPS.TXT is in the page's memory.
  std::string LogPath() const { return files_.DriveC() + "/FPS.TXT"; }

 private:
  std::optional<double> fixedTime_;
  bool downloadLog_;
  Ref<IFont> font_ = std::make_shared<WebFont>();
  FormEvents events_;
  std::shared_ptr<void> form_;
  TextFiles files_;
  RandomGenerator random_;
};

class WebWindowSystem final : public WindowSystem {
 public:
  std::int32_t ShowCursor(std::int32_t bShow) override { return cursor_.ShowCursor(bShow); }
  // The page's monotonic clock, in milliseconds; wraps as the system's does.
  std::uint32_t GetTickCount() override;

 private:
  CursorCounter cursor_{[](bool visible) { page::ShowCursor(visible); }};
};

// The bytes of the file at `path`; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
