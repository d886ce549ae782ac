// The host's lines on standard error: each starts with kLogPrefix, and
// QUILLON_LOG_LEVEL decides which are written (warn by default).
#pragma once

#include <string>

enum class LogLevel { Error = 0, Warn = 1, Info = 2, Debug = 3 };

// What starts every line the program's host writes.
inline constexpr const char* kLogPrefix = "quillon:";

void SetLogLevel(LogLevel level);
bool LogEnabled(LogLevel level);
// kLogPrefix, a space, `text` and a line end: one whole line.
std::string LogLine(const std::string& text);
// Writes LogLine(text) to standard error when `level` is enabled (errors
// always are).
void HostLog(LogLevel level, const std::string& text);
