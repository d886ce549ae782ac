#include "hostcommon/host_log.h"

#include <cstdio>

namespace {
LogLevel g_level = LogLevel::Warn;
}

void SetLogLevel(LogLevel level) { g_level = level; }

bool LogEnabled(LogLevel level) { return level <= g_level; }

std::string LogLine(const std::string& text) { return std::string(kLogPrefix) + " " + text + "\n"; }

void HostLog(LogLevel level, const std::string& text) {
  if (!LogEnabled(level)) return;
  std::fputs(LogLine(text).c_str(), stderr);
  std::fflush(stderr);
}
