// The settings as the host reads them. Refusals the user sees are in
// tests/e2e/messages.sh's table; those of settings it does not run are here.
#include "sdlhost/host_config.h"

#include <gtest/gtest.h>

#include <map>

namespace {

bool Read(const std::map<std::string, std::string>& env, HostConfig& c, std::string& error) {
  return ReadHostConfig(
      [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
      },
      c, error);
}

}  // namespace

TEST(HostConfig, DefaultsAndEveryVariable) {
  HostConfig c;
  std::string error;
  ASSERT_TRUE(Read({}, c, error));
  EXPECT_FALSE(c.windowed || c.fixedTime || c.hudFps || c.hudFrameTime || c.hudDevice ||
               c.linearScaling);
  EXPECT_TRUE(c.vsync);
  EXPECT_EQ(c.traceFrames, 3);
  EXPECT_EQ(c.logLevel, LogLevel::Warn);

  ASSERT_TRUE(Read({{"QUILLON_WINDOWED", "1"},
                    {"QUILLON_VSYNC", "0"},
                    {"QUILLON_KEYS", "a.keys"},
                    {"QUILLON_TIME", "43200.5"},
                    {"QUILLON_TRACE", "t/s.scene"},
                    {"QUILLON_TRACE_FRAMES", "5"},
                    {"QUILLON_LOG_LEVEL", "error"},
                    {"QUILLON_HUD", "fps,device"},
                    {"QUILLON_SCALE", "linear"}},
                   c, error))
      << error;
  EXPECT_TRUE(c.windowed && !c.vsync && c.hudFps && c.hudDevice && c.linearScaling);
  EXPECT_FALSE(c.hudFrameTime);
  EXPECT_EQ(c.keysPath, "a.keys");
  EXPECT_DOUBLE_EQ(*c.fixedTime, 43200.5);
  EXPECT_EQ(c.tracePath, "t/s.scene");
  EXPECT_EQ(c.traceFrames, 5);
  EXPECT_EQ(c.logLevel, LogLevel::Error);
  ASSERT_TRUE(Read({{"QUILLON_LOG_LEVEL", "warning"}}, c, error));  // the long word too
  EXPECT_EQ(c.logLevel, LogLevel::Warn);
}

// A refusal starts with the variable, its option and the quoted value.
TEST(HostConfig, RefusesMalformedValues) {
  // clang-format off
  const struct { const char* variable; const char* value; const char* said; } cases[] = {
      {"QUILLON_VSYNC", "2", "QUILLON_VSYNC (--vsync) '2'"},
      {"QUILLON_TIME", "noon", "QUILLON_TIME 'noon'"},
      {"QUILLON_TIME", "86400", "QUILLON_TIME '86400'"},
      {"QUILLON_TIME", "-1", "QUILLON_TIME '-1'"},
      {"QUILLON_TRACE_FRAMES", "0", "QUILLON_TRACE_FRAMES '0'"},
      {"QUILLON_TRACE_FRAMES", "3x", "QUILLON_TRACE_FRAMES '3x'"},
      {"QUILLON_HUD", "fps,clock", "QUILLON_HUD (--hud) 'fps,clock'"},
      {"QUILLON_SCALE", "cubic", "QUILLON_SCALE (--scale) 'cubic'"},
  };
  // clang-format on
  for (const auto& c : cases) {
    HostConfig config;
    std::string error;
    EXPECT_FALSE(Read({{c.variable, c.value}}, config, error)) << c.variable << "=" << c.value;
    EXPECT_EQ(error.find(c.said), 0u) << error;
  }
}

// Options stand for variables; a switch alone is on.
TEST(HostConfig, CommandLineOptions) {
  const struct {
    std::vector<const char*> args;
    std::vector<std::pair<std::string, std::string>> settings;
    const char* error;
  } cases[] = {
      {{"--device=hal", "--keys", "a b.keys", "--windowed", "--threads", "2"},
       {{"QUILLON_DEVICE", "hal"},
        {"QUILLON_KEYS", "a b.keys"},
        {"QUILLON_WINDOWED", "1"},
        {"QUILLON_THREADS", "2"}},
       ""},
      {{"--vsync=0", "--hud"}, {{"QUILLON_VSYNC", "0"}, {"QUILLON_HUD", "1"}}, ""},
      {{"--drive-c"}, {}, "--drive-c needs a value (DIR); quillon --help lists the options"},
      {{"--time=5"}, {}, "unknown option '--time=5'"},  // a variable without an option
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"quillon"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CommandLine line;
    std::string error;
    EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), line, error),
              *c.error == '\0')
        << c.args[0];
    EXPECT_EQ(error.find(c.error), 0u) << error;
    if (error.empty()) {
      EXPECT_EQ(line.settings, c.settings);
    }
  }
}
