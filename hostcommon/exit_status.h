#pragma once

// The process's exit statuses, as --help and the README give them.
enum ExitStatus : int {
  kEndedByUser = 0,
  kErrorReported = 1,  // after the program's error report, or a failed write of --help
  kBadSetting = 2,     // a setting or option refused before the program starts
  kTraceFailed = 3,    // ended by the user, but a trace could not be written
  kCaptureFailed = 4,  // ended by the user, but a key script's capture could not be written
};
