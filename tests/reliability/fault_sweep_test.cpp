// The fault sweep: the whole program on the recording platform, start-up, a
// few frames of each loop with keys, and shutdown, run once cleanly and then
// once for every platform call that returns a status, with that one call
// failing. Every run must end, report the failure once (or follow the one
// rule that says otherwise), shut down once in order, give every object back
// and leave the frame-rate log with one whole line per frame drawn.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <sstream>

#include "app/frmTest.h"
#include "graphics/moduleDX8.h"
#include "input/keyboard.h"
#include "tests/harness/program_platform.h"

namespace {

using Lines = std::vector<std::string>;

enum class Loop { Cloud, Picture };

// The status a failing call returns: the runtime's own error numbers for its
// calls, DirectInput's codes for the keyboard, a Direct3D code otherwise
// (one the recording device never answers by itself, so a report can be
// traced to the injected failure).
HRESULT StatusFor(const std::string& name) {
  if (name == "FileOpenForOutput") return ErrPathFileAccess;
  if (name == "FilePrintLine") return ErrDiskFull;
  if (name == "FileClose") return ErrDeviceIOError;
  if (name.rfind("Form_", 0) == 0 || name.rfind("Font.", 0) == 0 || name == "MsgBox")
    return ErrInvalidProcedureCall;
  if (name.rfind("Keyboard.", 0) == 0 || name.rfind("DI.", 0) == 0 ||
      name == "DX.DirectInputCreate")
    return DIERR_INPUTLOST;
  return D3DERR_OUTOFVIDEOMEMORY;
}

// What a run left behind, taken after the process would have ended; the
// platform keeps the rest (boxes, cursor, log, objects still alive).
struct Outcome {
  std::unique_ptr<ProgramPlatform> tp = std::make_unique<ProgramPlatform>();
  std::string ending;  // "exit N", "returned without ending the process", or what escaped
  Lines calls;         // the platform's log up to the end of the process
  std::string stderrText;
  Lines releasedAtProcessEnd;  // kinds released by the end of the process, in order
};

// A call made to fail: its name and which of the calls of that name.
struct Fault {
  std::string name;
  int occurrence;
};

// Runs the program once with `faults` made to fail.
Outcome RunOnce(Loop loop, const std::vector<Fault>& faults = {}) {
  Outcome out;
  ProgramPlatform& tp = *out.tp;
  std::unique_ptr<EditedVertexFormat> picture;
  if (loop == Loop::Picture) {
    picture = std::make_unique<EditedVertexFormat>(tp);
    tp.script.closeFormAtDoEvents = 3;
  } else {
    tp.PushKeys({});
    tp.PushKeys({DIK_UP, DIK_LEFT});
    tp.PushKeys({DIK_DOWN, DIK_RIGHT});
    tp.PushKeys({DIK_ESCAPE});
    // A loop that misses Escape stops here rather than hanging the test.
    tp.script.pollsAfterScript = 20;
  }
  for (const Fault& f : faults) tp.Fail(f.name, StatusFor(f.name), f.occurrence);

  auto form = std::make_unique<frmTest>();
  ::testing::internal::CaptureStderr();
  try {
    out.ending = tp.RunFormLoad(*form);
  } catch (const TestScriptExhausted&) {
    out.ending = "hung in its loop";
  } catch (const std::exception& e) {
    out.ending = std::string("escaped: ") + e.what();
  }
  out.stderrText = ::testing::internal::GetCapturedStderr();
  if (out.ending == "returned without ending the process") {
    // The runtime goes on until the user closes the form; then the process
    // ends (no shutdown sequence of the program's).
    tp.RunUntilFormClosed();
  }
  // The end of the process: what the form and moduleDX8 still hold goes.
  const std::size_t before = tp.Calls().size();
  form.reset();
  ResetModuleDX8();
  for (std::size_t i = before; i < tp.Calls().size(); ++i)
    if (tp.Calls()[i].rfind("release ", 0) == 0)
      out.releasedAtProcessEnd.push_back(tp.Calls()[i].substr(8));
  out.calls = Lines(tp.Calls().begin(), tp.Calls().begin() + static_cast<std::ptrdiff_t>(before));
  return out;
}

// The lines that start with `prefix` (only those not failed, with `succeeded`).
int CountPrefix(const Lines& lines, const std::string& prefix, bool succeeded = false) {
  int n = 0;
  for (const std::string& l : lines)
    n += l.rfind(prefix, 0) == 0 && !(succeeded && l.find(" -> ") != std::string::npos);
  return n;
}

int IndexOfPrefix(const Lines& lines, const std::string& prefix) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  return -1;
}

// The objects the shutdown sequence gives up, in its order.
const Lines kShutdownReleases = {"release Keyboard", "release DI",  "release D3DX",
                                 "release Device",   "release D3D", "release DX"};

// How the program must answer a failure of `name`, by its own rules.
enum class Expect {
  Report,         // one message box "(status) ...", shutdown, exit 1
  Absorbed,       // the hardware probe: the reference type takes over, exit 0
  DepthRefused,   // no depth buffer: exit 0 unless a later clear asks for one
  DeviceSetUp,    // "Unable to initialize the device", start-up goes on
  FillReturn,     // the load event returns at once, silently, nothing shut down
  ShutdownFault,  // said on the error stream; the rest of shutdown still runs, exit 1
};

Expect ExpectFor(const std::string& name, int occurrence, bool inInitD3D, bool inShutdown) {
  if (name == "D3D.GetDeviceCaps" && occurrence == 1) return Expect::Absorbed;
  if (name == "D3D.CheckDeviceFormat") return Expect::DepthRefused;
  if (inInitD3D && (name == "D3D.CreateDevice" || name.rfind("Device.", 0) == 0))
    return Expect::DeviceSetUp;
  if (name == "VertexBuffer.Lock" || name == "VertexBuffer.Unlock") return Expect::FillReturn;
  if (inShutdown) return Expect::ShutdownFault;
  return Expect::Report;
}

std::string ReportPrefix(HRESULT status) { return "(" + std::to_string(status) + ") "; }

// A second failure on top of a reported one.
enum class Also {
  Nothing,
  ReportBoxFails,  // the report cannot be shown: it goes to the error stream
  ShutdownFails,   // the shutdown's keyboard step fails as well
};

// The shutdown sequence, once, in its order: from the cursor shown again (at
// `s`) to the end, nothing but its own steps; adds what breaks that to `p`.
void ShutdownProblems(const Outcome& o, std::size_t s, Lines& p) {
  const Lines& calls = o.calls;
  std::size_t i = s;
  while (i < calls.size() && calls[i].rfind("ShowCursor(1)", 0) == 0) ++i;
  // The shutdown's message pass may deliver the close of the window.
  Lines tail;
  for (; i < calls.size(); ++i)
    if (calls[i] != "form closed") tail.push_back(calls[i]);
  int unacquires = 0, releases = 0;
  std::ptrdiff_t last = -1;  // the latest of the shutdown's releases so far
  for (i = 0; i + 2 < tail.size(); ++i) {
    const std::string& l = tail[i];
    const std::ptrdiff_t k = std::find(kShutdownReleases.begin(), kShutdownReleases.end(), l) -
                             kShutdownReleases.begin();
    if (l.rfind("Keyboard.Unacquire", 0) == 0 && releases == 0) {
      ++unacquires;
    } else if (l.rfind("release ", 0) != 0) {
      p.push_back("in shutdown: " + l);
    } else {
      ++releases;
      if (k == std::ssize(kShutdownReleases)) continue;  // not one of the shutdown's own
      if (k <= last) p.push_back("shutdown released out of order");
      last = k;
    }
  }
  if (unacquires > 1) p.push_back("the keyboard unacquired twice");
  if (unacquires == 0 && CountPrefix(calls, "DI.CreateDevice", true) > 0)
    p.push_back("the keyboard was never unacquired");
  if (tail.size() < 2 || tail[tail.size() - 2] != "DoEvents")
    p.push_back("no message pass just before the end");
  // The end of the process gives up only what the form holds (its font, the
  // frame's vertex buffer, the picture's texture): the shutdown's own objects
  // went in the shutdown, and none of them earlier.
  for (const std::string& kind : o.releasedAtProcessEnd)
    if (kind != "D3DXFont" && kind != "VertexBuffer" && kind != "Texture")
      p.push_back(kind + " left to the end of the process");
  for (std::size_t j = 0; j < s; ++j)
    for (const std::string& r : kShutdownReleases)
      if (calls[j] == r) p.push_back(r + " before shutdown");
}

// The rules every run keeps; returns the ones this run broke.
Lines Problems(const Outcome& o, Expect expect, HRESULT status, Also also = Also::Nothing) {
  Lines p;
  const auto fail = [&p](std::string why) { p.push_back(std::move(why)); };
  const Lines& calls = o.calls;
  const Lines& boxes = o.tp->MessageBoxes();

  // Every object is given back once the process has ended, none twice.
  for (const auto& [kind, n] : o.tp->LiveObjects())
    if (n != 0) fail(kind + (n > 0 ? " never released" : " released more often than made"));

  // The frame-rate log: whole lines, one per frame that drew.
  if (o.tp->TextFileExists("FPS.TXT")) {
    static const std::regex kWholeLines("([0-9]+\r\n)*");
    const std::string log = o.tp->ReadTextFile("FPS.TXT");
    if (!std::regex_match(log, kWholeLines)) fail("log holds a torn or odd line");
    int lines = 0;
    for (char c : log) lines += c == '\n';
    int drawn = CountPrefix(calls, "Device.DrawPrimitive(", true);
    // The frame whose log line could not be written drew but has no line.
    if (CountPrefix(calls, "FilePrintLine") != CountPrefix(calls, "FilePrintLine", true)) --drawn;
    if (lines != drawn)
      fail("log has " + std::to_string(lines) + " lines for " + std::to_string(drawn) + " frames");
  }

  if (expect == Expect::FillReturn) {
    if (o.ending != "returned without ending the process") fail("ending: " + o.ending);
    if (!boxes.empty()) fail("a message after the fill failure");
    if (CountPrefix(calls, "ShowCursor(1)") || CountPrefix(calls, "End(") ||
        CountPrefix(calls, "Keyboard.Unacquire"))
      fail("shutdown ran after the fill failure");
    for (const std::string& r : kShutdownReleases)
      if (CountPrefix(calls, r)) fail(r + " before the process ended");
    // The cursor stays hidden until the process ends, by the same rule.
    if (o.tp->CursorCounter() != -1)
      fail("cursor counter " + std::to_string(o.tp->CursorCounter()));
    return p;
  }

  // Every other run ends the process once, through the whole shutdown.
  if (o.ending.rfind("exit ", 0) != 0) fail("ending: " + o.ending);
  if (CountPrefix(calls, "End(") != 1 || calls.empty() || calls.back().rfind("End(", 0) != 0)
    fail("the process did not end exactly once, last");
  // A failure the program had to answer ends it with status 1; the others
  // are judged by their boxes below.
  if ((expect == Expect::Report || expect == Expect::ShutdownFault) && o.ending != "exit 1")
    fail("ending: " + o.ending);
  if (o.tp->CursorCounter() < 0) fail("cursor left hidden");

  const int s = IndexOfPrefix(calls, "ShowCursor(1)");
  if (s < 0) fail("no shutdown");
  if (s >= 0) ShutdownProblems(o, static_cast<std::size_t>(s), p);

  const std::string prefix = ReportPrefix(status);
  switch (expect) {
    case Expect::Report:
      if (also == Also::ReportBoxFails) {
        if (!boxes.empty() || o.stderrText.find("quillon: " + prefix) == std::string::npos)
          fail("the report was lost with its box");
        break;
      }
      if (boxes.size() != 1 || boxes[0].rfind(prefix, 0) != 0)
        fail("expected one report " + prefix + ", got " + std::to_string(boxes.size()));
      // (The keyboard step has nothing to fail when the keyboard never came.)
      if (also == Also::ShutdownFails && CountPrefix(calls, "Keyboard.Unacquire") != 0 &&
          o.stderrText.find("shutdown: " + ReportPrefix(DIERR_INPUTLOST)) == std::string::npos)
        fail("the shutdown fault was not said");
      break;
    case Expect::Absorbed:
      if (!boxes.empty() || o.ending != "exit 0") fail("the fallback was not taken");
      break;
    case Expect::DepthRefused:
      // Without a depth buffer the cloud's clear of it is refused by the
      // device: that refusal is the one report.
      if (o.ending == "exit 0") {
        if (!boxes.empty()) fail("a message on a clean exit");
      } else if (boxes.size() != 1 || boxes[0].rfind(ReportPrefix(D3DERR_INVALIDCALL), 0) != 0) {
        fail("expected the device's refusal of the depth clear as the one report");
      }
      break;
    case Expect::DeviceSetUp:
      // The device box, then start-up goes on: with a device the run is a
      // clean one; without, the first call that needs the device is the one
      // report.
      if (boxes.empty() || boxes[0] != "Unable to initialize the device")
        fail("no device set-up box");
      else if (o.ending == "exit 0" ? boxes.size() != 1 : boxes.size() != 2)
        fail(std::to_string(boxes.size()) + " boxes after the device set-up box");
      break;
    case Expect::ShutdownFault:
      if (!boxes.empty()) fail("a message box during shutdown");
      if (o.stderrText.find("shutdown: " + prefix) == std::string::npos)
        fail("the shutdown fault was not said");
      break;
    case Expect::FillReturn:
      break;
  }
  return p;
}

// Runs the sweep over every status call of `loop`; returns how many faults it tried.
int Sweep(Loop loop, const char* loopName) {
  const Outcome clean = RunOnce(loop);
  // A clean run keeps the rules as a run whose failure was absorbed: exit 0, no box.
  EXPECT_EQ(Problems(clean, Expect::Absorbed, 0), Lines{}) << loopName;

  // Where in the clean run each status call falls: inside InitD3D (from
  // Direct3D's creation to D3DX's), or inside shutdown (once the cursor is
  // shown again).
  const auto at = [&](const std::string& prefix) {
    const int i = IndexOfPrefix(clean.calls, prefix);
    return i < 0 ? clean.calls.size() : static_cast<std::size_t>(i);
  };
  const std::size_t initD3D = at("DX.Direct3DCreate"), d3dx = at("new D3DX8");
  const std::size_t shutdown = at("ShowCursor(1)");
  int tried = 0;
  std::map<std::string, int> seen;
  for (std::size_t k = 0; k < clean.tp->StatusCalls().size(); ++k) {
    const std::string& name = clean.tp->StatusCalls()[k].name;
    const std::size_t line = clean.tp->StatusCalls()[k].line;
    const int occurrence = ++seen[name];
    const Expect expect =
        ExpectFor(name, occurrence, line >= initD3D && line < d3dx, line >= shutdown);
    const auto tryRun = [&](const std::vector<Fault>& faults, Also also, const char* with) {
      const Lines problems = Problems(RunOnce(loop, faults), expect, StatusFor(name), also);
      ++tried;
      std::ostringstream why;
      for (const std::string& s : problems) why << "\n  " << s;
      if (!problems.empty())
        ADD_FAILURE() << loopName << ": call " << k + 1 << " (" << name << " #" << occurrence
                      << ") failing" << with << ":" << why.str();
    };
    tryRun({{name, occurrence}}, Also::Nothing, "");
    if (expect != Expect::Report) continue;
    // A reported failure, and then the report's box or the shutdown failing
    // too: still one report, still the whole shutdown.
    tryRun({{name, occurrence}, {"MsgBox", 1}}, Also::ReportBoxFails, " with the report's box");
    tryRun({{name, occurrence}, {"Keyboard.Unacquire", 0}}, Also::ShutdownFails,
           " with the shutdown's keyboard step");
  }
  return tried;
}

TEST(FaultSweep, EveryFailingCallEndsInOneReportAndOneShutdown) {
  // Start-up, three frames and shutdown make dozens of calls in each loop.
  const int cloud = Sweep(Loop::Cloud, "spinning cloud");
  const int picture = Sweep(Loop::Picture, "picture loop");
  EXPECT_GT(cloud, 40);
  EXPECT_GT(picture, 20);
  std::printf("faults tried: %d\n", cloud + picture);  // for the test command's summary
}

}  // namespace
