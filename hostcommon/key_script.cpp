#include "hostcommon/key_script.h"

#include <charconv>
#include <sstream>
#include <string_view>
#include <utility>

#include "hostcommon/key_table.h"
#include "scene/user_files.h"

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line.substr(0, line.find('#')));
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

}  // namespace

bool ParseKeyScript(const std::string& text, KeyScript& script, std::string& error) {
  script = KeyScript{};
  // Editors on Windows may begin a UTF-8 file with a byte-order mark.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::istringstream in(text.starts_with(kBom) ? text.substr(kBom.size()) : text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    auto words = Words(line);
    if (words.empty()) continue;
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    if (words[0] == "capture") {
      if (words.size() != 2) return fail("capture takes one file name");
      for (const char c : words[1])
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
          return fail("the file name '" + scene::Printable(words[1]) +
                      "' holds a control character");
      auto& list = script.steps.empty() ? script.initialCaptures : script.steps.back().captures;
      list.push_back(words[1]);
      continue;
    }
    KeyScriptStep step;
    const std::string& count = words[0];
    auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), step.polls);
    if (ec != std::errc() || end != count.data() + count.size() || step.polls < 0)
      return fail("'" + scene::Printable(count) + "' is not a count of polls");
    for (std::size_t i = 1; i < words.size(); ++i) {
      auto dik = DikFromName(words[i]);
      if (!dik) return fail("unknown key '" + scene::Printable(words[i]) + "'");
      step.keys.push_back(*dik);
    }
    script.steps.push_back(std::move(step));
  }
  return true;
}

bool ReadKeyScript(const std::string& path, KeyScript& script, std::string& error) {
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (!scene::ReadUserFile(path, kMaxKeyScriptBytes, bytes, why)) {
    error = "the key script: " + why + "; a key script is a short text file";
    return false;
  }
  if (!ParseKeyScript(std::string(bytes.begin(), bytes.end()), script, why)) {
    error = scene::Printable(path) + ": " + why;
    return false;
  }
  return true;
}

KeyScriptPlayer::KeyScriptPlayer(KeyScript script) : script_(std::move(script)) {
  due_ = script_.initialCaptures;
  if (!script_.steps.empty()) pollsLeft_ = script_.steps[0].polls;
  SkipEmptySteps();
}

void KeyScriptPlayer::SkipEmptySteps() {
  // A step whose polls are used up releases its captures and hands over.
  while (step_ < script_.steps.size() && pollsLeft_ == 0) {
    for (auto& c : script_.steps[step_].captures) due_.push_back(c);
    ++step_;
    if (step_ < script_.steps.size()) pollsLeft_ = script_.steps[step_].polls;
  }
}

void KeyScriptPlayer::Poll(DIKEYBOARDSTATE& state) {
  state.fill(0);
  if (step_ >= script_.steps.size()) return;
  for (std::uint8_t k : script_.steps[step_].keys) state[k] = 0x80;
  --pollsLeft_;
  SkipEmptySteps();
}

bool KeyScriptPlayer::CapturesAhead() const {
  if (!due_.empty()) return true;
  for (std::size_t i = step_; i < script_.steps.size(); ++i)
    if (!script_.steps[i].captures.empty()) return true;
  return false;
}

std::vector<std::string> KeyScriptPlayer::TakeCapturesAhead() {
  std::vector<std::string> out = TakeDueCaptures();
  for (std::size_t i = step_; i < script_.steps.size(); ++i)
    for (auto& c : std::exchange(script_.steps[i].captures, {})) out.push_back(std::move(c));
  return out;
}

std::vector<std::string> KeyScriptPlayer::TakeDueCaptures() {
  std::vector<std::string> out;
  out.swap(due_);
  return out;
}
