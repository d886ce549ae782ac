// The SDL host's life: starting SDL and the form's window, the window events,
// termination signals, and the end of the process. The rooms that serve the
// program (runtime, display, keyboard) work through it; sdl_platform.h puts
// them together.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

// What the window events ask of the rooms built on the host.
struct HostEvents {
  std::function<void()> closeRequested;  // the form's window or the session is closing
  std::function<void()> exposed;         // the form's window was uncovered
};

class SdlHost {
 public:
  SdlHost() = default;
  ~SdlHost();
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  // Makes the form's window once SDL runs on `videoDriver` (`hasScreen`:
  // something can be seen); null leaves it to the host. A device that draws
  // into the window itself needs to make it.
  using WindowMaker = std::function<SDL_Window*(const std::string& videoDriver, bool hasScreen)>;

  // Starts SDL (the offscreen driver when there is no display), installs the
  // signal handlers and makes the form's window (through `makeWindow` when it
  // gives one), hidden until a device or the message loop shows it. False
  // with a reason when it cannot.
  bool Start(std::string& error, const WindowMaker& makeWindow = {});

  SDL_Window* Window() const { return window_; }
  std::int32_t WindowHandle() const { return static_cast<std::int32_t>(windowId_); }
  // False on the offscreen and dummy drivers: nothing can be seen.
  bool HasScreen() const { return hasScreen_; }
  // The X server's connection when SDL runs on X11 (for the global key map).
  void* XDisplay() const { return xDisplay_; }

  void SetEventHandlers(HostEvents handlers) { events_ = std::move(handlers); }
  // Handles the waiting window events. A pending termination signal ends the
  // process first.
  void ProcessEvents();
  // Waits up to `timeoutMs` for an event to arrive (without handling it).
  void WaitForEvents(int timeoutMs);
  // True once for each press of F12 in the form's window (the host's
  // screenshot key; the program never sees it).
  bool TakeScreenshotRequest();
  // True once after the user asked to close the form's window (its close
  // button, the window manager, Alt+F4) or the session is ending, while no
  // event pass has handled it: the spinning loop handles no window events,
  // so the keyboard turns it into Escape.
  bool TakeCloseRequest() { return std::exchange(closeWanted_, false); }
  // True once for each Alt+Enter in the form's window: the host's
  // presentation switches between full screen and a window.
  bool TakeFullScreenToggle() { return TakeOne(togglesWanted_); }
  // Shows the form's window.
  void ShowWindow();
  // A modal box over the form's window when it is shown. A termination signal
  // during it ends the process at once: the box holds the only thread.
  void ShowMessageBox(const std::string& title, const std::string& text);

  // Ends the process when a termination signal has arrived. The program
  // comes here at every event pass, keyboard poll and present.
  void CheckSignals();
  // The X server went away, or another program destroyed the form's window
  // (the host has said which in one line). The device's present and the
  // keyboard's poll then fail, so that the program reports the loss and
  // runs its shutdown; the host makes no more requests on the display
  // (none at all once the server is gone).
  bool DisplayLost() const;
  // Gives the screen back (mode, cursor) and shuts SDL down.
  void Shutdown();
  // Something the user asked for could not be done (a trace not written):
  // a run the user ends normally still ends with status 3.
  void FailAtEnd() { failAtEnd_ = true; }
  // Shuts down and ends the process with `exitCode` (3 instead of 0 after
  // FailAtEnd, else 4 after a capture not written).
  [[noreturn]] void EndProcess(int exitCode);

 private:
  bool sdlStarted_ = false;
  bool hasScreen_ = false;
  SDL_Window* window_ = nullptr;
  std::uint32_t windowId_ = 0;
  void* xDisplay_ = nullptr;
  bool failAtEnd_ = false;
  // Presses not yet taken: each is one action, however quickly they come.
  int screenshotsWanted_ = 0;
  bool closeWanted_ = false;
  int togglesWanted_ = 0;
  HostEvents events_;

  static bool TakeOne(int& wanted) {
    if (wanted == 0) return false;
    --wanted;
    return true;
  }
  // Sees every event as SDL queues it, whoever reads the queue.
  static int WatchEvent(void* host, SDL_Event* event);
};
