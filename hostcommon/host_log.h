// The host's lines on standard error: each starts with "quillon: ", and
// QUILLON_LOG_LEVEL decides which are written (warn by default).
#pragma once

#include <string>

enum class LogLevel { Error = 0, Warn = 1, Info = 2, Debug = 3 };

void SetLogLevel(LogLevel level);
bool LogEnabled(LogLevel level);
// Writes "quillon: " + text + a line end when `level` is enabled.
void HostLog(LogLevel level, const std::string& text);
