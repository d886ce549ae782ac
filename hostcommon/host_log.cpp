#include "hostcommon/host_log.h"

#include <cstdio>

namespace {
LogLevel g_level = LogLevel::Warn;
}

void SetLogLevel(LogLevel level) { g_level = level; }

bool LogEnabled(LogLevel level) { return level <= g_level; }

void HostLog(LogLevel level, const std::string& text) {
  if (!LogEnabled(level)) return;
  std::fprintf(stderr, "quillon: %s\n", text.c_str());
  std::fflush(stderr);
}
