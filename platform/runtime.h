// The windowing runtime as the program sees it: the form's properties, message
// boxes, the message pump, the end of the process, text-file output, the time
// of day and the pseudo-random generator.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/ref.h"

// The form's font object.
class IFont {
 public:
  virtual ~IFont() = default;
  virtual HRESULT get_Name(std::string& name) = 0;
  virtual HRESULT put_Name(const std::string& name) = 0;
  // A font handle that D3DX8::CreateFont accepts.
  virtual HRESULT get_hFont(std::int32_t& handle) = 0;
};

// Window messages the runtime delivers to the form.
struct FormEvents {
  // The form's window was asked to close (window manager, Alt+F4).
  std::function<void()> OnClose;
};

class Runtime {
 public:
  virtual ~Runtime() = default;

  // The start-up form ("Form1").
  virtual HRESULT Form_hWnd(std::int32_t& hWnd) = 0;
  virtual HRESULT Form_Font(Ref<IFont>& font) = 0;
  virtual void SetFormEvents(FormEvents events) = 0;
  // True once the form has been closed.
  virtual bool FormClosed() = 0;

  // A modal box with an OK button only, no icon, captioned with the
  // application's title; returns when the user has closed it.
  virtual HRESULT MsgBox(const std::string& text) = 0;
  // Processes the waiting window messages once.
  virtual void DoEvents() = 0;
  // Runs the message loop until the form is closed (after the load event has
  // returned to the runtime).
  virtual void RunUntilFormClosed() = 0;
  // Takes the start-up form from the program's entry, its only owner from
  // then on: End releases it.
  virtual void KeepForm(std::shared_ptr<void> form) = 0;
  // Ends the process: closes open files keeping what was written, releases
  // what is still held (the form, whose fields hold the device's objects).
  // Does not return.
  [[noreturn]] virtual void End(int exitCode) = 0;

  // Text-file output. Paths are the program's ("C:\FPS.TXT"); the runtime maps
  // them to the host's file system. Each returns a runtime error number (0 =
  // done).
  virtual std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) = 0;
  virtual std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) = 0;
  virtual std::int32_t FileClose(std::int32_t fileNumber) = 0;

  // Seconds since midnight.
  virtual float Timer() = 0;
  // The uniform pseudo-random generator: re-seed, and next value in [0, 1).
  virtual void Randomize(double seed) = 0;
  virtual float Rnd() = 0;
};

// The runtime's colour function: red in bits 0-7, green 8-15, blue 16-23.
constexpr std::uint32_t RGB(std::int32_t red, std::int32_t green, std::int32_t blue) {
  return static_cast<std::uint32_t>(red & 0xFF) | (static_cast<std::uint32_t>(green & 0xFF) << 8) |
         (static_cast<std::uint32_t>(blue & 0xFF) << 16);
}
