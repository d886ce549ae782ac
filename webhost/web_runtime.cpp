#include "webhost/web_runtime.h"

#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "hostcommon/captures.h"
#include "hostcommon/host_log.h"
#include "webhost/page.h"

HRESULT WebRuntime::MsgBox(const std::string& text) {
  // The line also goes to the console, as on every host: automation learns
  // why the run ended.
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  HostLog(LogLevel::Error, line);
  page::MessageBox(text);
  return 0;
}

void WebRuntime::DoEvents() { page::Yield(false); }

void WebRuntime::RunUntilFormClosed() {
  // Nothing closes a page's canvas: the page stays, the browser running.
  for (;;) page::Sleep(100);
}

void WebRuntime::End(int exitCode) {
  files_.CloseAll();
  exitCode = StatusAfterCaptures(exitCode);
  // Automation reads the log from its downloads.
  std::string log;
  if (downloadLog_ && ReadWholeFile(LogPath(), log))
    page::Download("FPS.TXT", log.data(), log.size());
  HostLog(LogLevel::Info, "ended with status " + std::to_string(exitCode));
  // What the form holds goes first: the device's threads end with it.
  form_.reset();
  std::fflush(nullptr);
  // The page says the program ended, and with what status.
  emscripten_force_exit(exitCode);
  std::_Exit(exitCode);  // not reached: the exit above unwinds the page's call
}

float WebRuntime::Timer() {
  return static_cast<float>(fixedTime_ ? *fixedTime_ : page::SecondsSinceMidnight());
}

std::uint32_t WebWindowSystem::GetTickCount() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::floor(page::Now())) &
                                    0xFFFFFFFFu);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bytes.clear();
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const bool read = !std::ferror(file);
  std::fclose(file);
  return read;
}
