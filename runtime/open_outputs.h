// The files the runtime's text-file output is writing (the frame-rate log
// among them). The host's own outputs (captures, screenshots, traces) ask
// here first, so that none of them ever replaces or truncates one of them.
#pragma once

#include <string>

// Called by the text files as a file is opened for output and closed again.
void NoteOutputOpened(const std::string& hostPath);
void NoteOutputClosed(const std::string& hostPath);

// True when `path` (UTF-8) names, under any spelling or link, a file the
// runtime has open for output.
bool IsOpenOutput(const std::string& path);
