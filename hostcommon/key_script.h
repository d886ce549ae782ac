// A scripted keyboard for automated runs: each step holds a set of keys for a
// number of polls; `capture NAME.png` lines ask for the next presented frame.
//
//   120            # 120 polls with no key down
//   30 UP          # 30 polls holding Up
//   10 UP LEFT
//   capture moved.png
//   1 ESCAPE
//
// After the last step no key is down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dinput8.h"

struct KeyScriptStep {
  std::int64_t polls = 0;
  std::vector<std::uint8_t> keys;     // DirectInput codes held
  std::vector<std::string> captures;  // pictures asked for once the step's polls are made
};

struct KeyScript {
  // Captures asked for before the first poll.
  std::vector<std::string> initialCaptures;
  std::vector<KeyScriptStep> steps;
};

// Parses a script's text. On a malformed line returns false with `error`
// naming the line ("line 3: unknown key 'UPP'").
bool ParseKeyScript(const std::string& text, KeyScript& script, std::string& error);
// Reads and parses the script file at `path`. A key script is a short text
// file: what is not a regular file (a directory, an endless device) and
// anything larger than kMaxKeyScriptBytes is refused without being read
// whole. Errors name the path; file bytes in them are quoted (\x00).
bool ReadKeyScript(const std::string& path, KeyScript& script, std::string& error);
constexpr std::size_t kMaxKeyScriptBytes = 1 << 20;

// Plays a script poll by poll.
class KeyScriptPlayer {
 public:
  explicit KeyScriptPlayer(KeyScript script);

  // The state of the next poll: 0x80 for each key of the current step.
  void Poll(DIKEYBOARDSTATE& state);
  // Takes the captures due so far (those whose preceding polls have all been
  // made); each is handed out once.
  std::vector<std::string> TakeDueCaptures();
  bool CapturesDue() const { return !due_.empty(); }
  // Whether any capture is due or still to come.
  bool CapturesAhead() const;
  // Takes every capture due or still to come: what a run that ends now
  // never shows.
  std::vector<std::string> TakeCapturesAhead();
  bool Finished() const { return step_ >= script_.steps.size(); }

 private:
  void SkipEmptySteps();

  KeyScript script_;
  std::size_t step_ = 0;
  std::int64_t pollsLeft_ = 0;
  std::vector<std::string> due_;
};
