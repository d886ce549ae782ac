#include "hostcommon/host_log.h"

#include <cstdio>

namespace {
LogLevel g_level = LogLevel::Warn;
std::function<void(const std::string&)> g_copy;
}  // namespace

void SetLogCopy(std::function<void(const std::string& line)> copy) { g_copy = std::move(copy); }

void SetLogLevel(LogLevel level) { g_level = level; }

bool LogEnabled(LogLevel level) { return level <= g_level; }

std::string LogLine(const std::string& text) { return std::string(kLogPrefix) + " " + text + "\n"; }

void HostLog(LogLevel level, const std::string& text) {
  if (!LogEnabled(level)) return;
  const std::string line = LogLine(text);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  if (g_copy) g_copy(line);
}
