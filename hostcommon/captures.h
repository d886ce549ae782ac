// The pictures a key script's `capture NAME.png` lines ask for: where they
// go and how a host saves the frame it presents under each name due; and
// the one rule every picture a host writes keeps.
#pragma once

#include <string>
#include <vector>

#include "hostcommon/exit_status.h"
#include "hostcommon/key_script.h"
#include "pictures/image.h"
#include "pictures/replace_file.h"

// The folder of the key script at `keysPath` (with its separator), where
// capture names that are not absolute paths go; empty for the current one.
std::string CaptureFolder(const std::string& keysPath);
// `name` itself when it is an absolute path, else `name` in `folder`.
std::string CapturePath(const std::string& folder, const std::string& name);
// Saves `frame` under every capture name due in `script`, saying in the
// host's log where each went or why it could not be written. False when one
// could not be: the run then ends with kCaptureFailed. The paths written are
// added to `written` when given.
bool SaveDueCaptures(KeyScriptPlayer& script, const std::string& folder, const Image& frame,
                     std::vector<std::string>* written = nullptr);
// Takes every capture due in `script` as not written, for `why`, each said
// in the host's log.
void FailDueCaptures(KeyScriptPlayer& script, const std::string& folder, const std::string& why);

// A picture the host writes (a capture, F12's screenshot) as PNG in place of
// `path`, refused when `path` is a file the program's text output is writing
// (its log): that would be replaced. False with "PATH: reason" in `error`.
bool WriteHostPicture(const std::string& path, const Image& image, Durability durability,
                      std::string& error);

// The script being played (null: none), whose captures still ahead when the
// run ends were never written.
void PlayingScript(KeyScriptPlayer* script, const std::string* folder);
void PlayingScriptEnded(const KeyScriptPlayer* script);

// `exitCode`, or kCaptureFailed in place of kEndedByUser after a failed
// capture, or with captures the run ended before (each said in the host's
// log): what the script asked for was not all done.
int StatusAfterCaptures(int exitCode);
