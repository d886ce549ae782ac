// The pictures a key script's `capture NAME.png` lines ask for: where they
// go and how a host saves the frame it presents under each name due.
#pragma once

#include <string>

#include "hostcommon/key_script.h"
#include "hostcommon/png_writer.h"

// The folder of the key script at `keysPath` (with its separator), where
// capture names that are not absolute paths go; empty for the current one.
std::string CaptureFolder(const std::string& keysPath);
// `name` itself when it is an absolute path, else `name` in `folder`.
std::string CapturePath(const std::string& folder, const std::string& name);
// Saves `frame` under every capture name due in `script`, saying in the
// host's log where each went or why it could not be written.
void SaveDueCaptures(KeyScriptPlayer& script, const std::string& folder, const FramePixels& frame);
