// The recording test platform: every platform interface the program uses,
// recording each call with its arguments, in order, as a readable line, and
// answering as the test scripts it.
//
//   TestPlatform tp;                       // installs itself
//   tp.script.modes = {{640, 480, 60, D3DFMT_R5G6B5}};
//   tp.Fail("D3D.CreateDevice", D3DERR_INVALIDCALL);
//   ... run code that uses the platform ...
//   EXPECT_EQ(tp.MessageBoxes()[0], "...");
//
// Lines look like `Device.SetRenderState(27, 1)`, `ShowCursor(0) -> -1`,
// `MsgBox("text")`, `End(0)`; a call made to fail ends with ` -> ` and its
// status. An object's last reference let go is recorded as `release Device`,
// ... (no object keeps the one that made it alive; a device holds what is
// bound to it). The device refuses what the published device refuses.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/d3dx8.h"
#include "platform/dinput8.h"
#include "platform/platform.h"
#include "runtime/random.h"
#include "runtime/text_files.h"

// What the program's tests read of a recording device; outlives the device.
// The device's other state is kept, and checked, as both devices keep it.
struct RecordedDevice {
  std::map<int, D3DMATRIX> Transforms;  // only those set
  // The last draw's vertices: those passed to DrawPrimitiveUP, or for
  // DrawPrimitive the bound buffer's bytes at the time of the draw.
  std::optional<std::vector<BYTE>> LastDrawPrimitive, LastDrawPrimitiveUP;
};

// What the platform answers. Every field may be changed by a test at any time.
struct TestScript {
  // Direct3D: the default adapter's mode list and desktop mode.
  std::vector<D3DDISPLAYMODE> modes = {{640, 480, 60, D3DFMT_R5G6B5},
                                       {640, 480, 60, D3DFMT_X8R8G8B8},
                                       {800, 600, 60, D3DFMT_R5G6B5},
                                       {800, 600, 60, D3DFMT_X8R8G8B8},
                                       {1024, 768, 60, D3DFMT_X8R8G8B8}};
  D3DDISPLAYMODE desktop = {1024, 768, 60, D3DFMT_X8R8G8B8};
  // Device types whose GetDeviceCaps succeeds; the others fail with
  // `unusableDeviceStatus`.
  std::vector<std::int32_t> usableDeviceTypes = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
  HRESULT unusableDeviceStatus = D3DERR_NOTAVAILABLE;
  // What CheckDeviceFormat returns.
  HRESULT depthFormatCheck = D3D_OK;

  // Window system: the cursor display counter (its start, then its value) and
  // the tick counts, one per GetTickCount; when they run out each further
  // reading adds 10 to the last one (the first reading is then 0).
  std::int32_t cursorCounter = 0;
  std::deque<std::uint32_t> ticks;

  // DirectInput: the keyboard state of each poll, in order. When they run out
  // every poll reads all keys up; after `pollsAfterScript` such polls the
  // platform throws TestScriptExhausted (a loop that never sees Escape).
  std::deque<DIKEYBOARDSTATE> keyStates;
  int pollsAfterScript = 1000;

  // Runtime: the form, the time of day, the random generator.
  HWND hWnd = 0x1234;
  std::int32_t hFont = 0x5678;
  float timeOfDay = 43200.0f;
  // Rnd answers these in order; when they run out, the runtime's own
  // generator goes on (seeded by Randomize, as on every host).
  std::deque<float> randomValues;
  // The form's window is closed at the given DoEvents (1 = the first); 0 never.
  int closeFormAtDoEvents = 0;

  // When set, answers every keyboard poll instead of `keyStates` (n = 1 for
  // the first poll): for runs too long to script poll by poll.
  std::function<void(std::int64_t n, DIKEYBOARDSTATE& state)> keyboard;
  // Runs first in every NewDirectX8: to act where the program makes its root.
  std::function<void()> beforeNewDirectX8;
  // False: calls are counted but no log lines and no copies of the draws'
  // vertices are kept, so a long run's memory stays flat and its frames cheap.
  bool keepLog = true;
};

// Thrown by the platform when a loop outlives its script.
struct TestScriptExhausted : std::logic_error {
  using std::logic_error::logic_error;
};

// The platform's shared record: the log, the failures to inject, the script
// and what the objects hold. Objects keep it alive, so their destructors can
// record after the TestPlatform has gone.
struct TestRecord {
  TestScript script;
  std::vector<std::string> calls;
  std::map<std::string, int> callCounts;
  // The calls that return a status (each can be made to fail), in the order
  // they were made: the name, and the call's line in `calls`.
  struct StatusCall {
    std::string name;
    std::size_t line;
  };
  std::vector<StatusCall> statusCalls;
  // Platform objects alive, by kind ("Device", "VertexBuffer", ...); made and
  // released over the platform's life.
  std::map<std::string, int> live;
  std::int64_t polls = 0;
  struct Failure {
    std::string name;
    HRESULT status;
    int occurrence;  // 1 = the first call of that name; 0 = every call
  };
  std::vector<Failure> failures;

  std::vector<std::shared_ptr<RecordedDevice>> devices;
  int buffersMade = 0;
  DIKEYBOARDSTATE lastPolled{};
  std::uint32_t lastTick = 0;
  bool tickRead = false;
  RandomGenerator random;
  int doEvents = 0;
  int pollsBeyondScript = 0;
  bool formClosed = false;
  FormEvents formEvents;
  std::vector<std::string> messageBoxes;

  // Records `name` + `args` and returns the status scripted for this
  // occurrence of `name` (0 unless made to fail).
  HRESULT Call(const std::string& name, const std::string& args = {});
  // Records a call that returns no status: `name` + `rest`, counted as Call counts.
  void Note(const std::string& name, const std::string& rest = {}) {
    ++callCounts[name];
    if (script.keepLog) calls.push_back(name + rest);
  }
};

class TestPlatform : public PlatformObjects, public WindowSystem, public Runtime {
  std::shared_ptr<TestRecord> record_;  // first: `script` refers into it

 public:
  // Installs itself as the current platform and clears the pending error;
  // drive C is a fresh temporary directory.
  TestPlatform();
  ~TestPlatform() override;
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  TestScript& script;

  // Makes the `occurrence`-th call named `name` (1 = the first since the
  // platform was made or ClearCalls; 0 = every one) fail with `status` (for
  // text files a runtime error number). Names are the recorded ones up to
  // "(": "new DirectX8", "D3D.CreateDevice", "Keyboard.Acquire", "MsgBox", ...
  void Fail(const std::string& name, HRESULT status, int occurrence = 0);

  // Keyboard script helpers: one poll with exactly these keys down.
  void PushKeys(std::initializer_list<int> keysDown) {
    script.keyStates.push_back(KeysDown(keysDown));
  }
  static DIKEYBOARDSTATE KeysDown(std::initializer_list<int> keysDown);

  // A windowed HAL device, the calls made so far cleared: for code that
  // drives a device and nothing else.
  Ref<Direct3DDevice8> NewDevice();

  // Observations.
  const std::vector<std::string>& Calls() const { return record_->calls; }
  int Count(const std::string& name) const;  // calls recorded under `name`
  // Position of the first line that starts with `prefix` (a whole line is
  // its own prefix); -1 when there is none.
  int IndexOf(const std::string& prefix) const;
  void ClearCalls();
  // The names of the calls made so far that return a status, in order: the
  // calls `Fail` can reach ("Device.Clear", "FilePrintLine", ...).
  const std::vector<TestRecord::StatusCall>& StatusCalls() const { return record_->statusCalls; }
  // Platform objects made and not yet released, by kind; a kind released
  // more often than made shows a negative count.
  const std::map<std::string, int>& LiveObjects() const { return record_->live; }
  const std::vector<std::string>& MessageBoxes() const { return record_->messageBoxes; }
  // The last device created (its state stays readable after release).
  std::shared_ptr<RecordedDevice> Device() const;
  int VertexBuffersMade() const { return record_->buffersMade; }
  std::int32_t CursorCounter() const { return record_->script.cursorCounter; }
  bool FormClosed() override { return record_->formClosed; }

  // Drive C of the text files, and a file's content ("" when missing).
  const std::string& DriveC() const { return driveC_; }
  std::string ReadTextFile(const std::string& relativePath) const;
  bool TextFileExists(const std::string& relativePath) const;

  // PlatformObjects.
  HRESULT NewDirectX8(Ref<DirectX8>& dx) override;
  HRESULT NewD3DX8(Ref<D3DX8>& d3dx) override;
  // WindowSystem.
  std::int32_t ShowCursor(std::int32_t bShow) override;
  std::uint32_t GetTickCount() override;
  // Runtime.
  HRESULT Form_hWnd(std::int32_t& hWnd) override;
  HRESULT Form_Font(Ref<IFont>& font) override;
  void SetFormEvents(FormEvents events) override;
  HRESULT MsgBox(const std::string& text) override;
  void DoEvents() override;
  void RunUntilFormClosed() override;
  // A test's End unwinds rather than ends: the form is kept to the platform's end.
  void KeepForm(std::shared_ptr<void> form) override { form_ = std::move(form); }
  [[noreturn]] void End(int exitCode) override;
  std::int32_t FileOpenForOutput(const std::string& path, std::int32_t& fileNumber) override;
  std::int32_t FilePrintLine(std::int32_t fileNumber, const std::string& text) override;
  std::int32_t FileClose(std::int32_t fileNumber) override;
  float Timer() override;
  void Randomize(double seed) override;
  float Rnd() override;

 private:
  void CloseForm();  // the user closes the form's window (once)

  std::string driveC_;
  std::unique_ptr<TextFiles> files_;
  Ref<IFont> formFont_;
  std::shared_ptr<void> form_;
};

// Readable forms used in the log.
std::string FormatFloat(float value);
std::string FormatMatrix(const D3DMATRIX& m);
std::string FormatPresentParameters(const D3DPRESENT_PARAMETERS& p);
