// The settings as hosts read them. Refusals the user sees are in
// tests/e2e/messages.sh's table; those of settings it does not run are here.
#include "sdlhost/sdl_config.h"

#include <gtest/gtest.h>

#include <map>

namespace {

SettingLookup From(const std::map<std::string, std::string>& env) {
  return [&env](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
}

}  // namespace

TEST(HostConfig, DefaultsAndEveryVariable) {
  HostConfig c;
  std::string error;
  ASSERT_TRUE(ReadHostConfig(From({}), c, error));
  EXPECT_FALSE(c.windowed || c.fixedTime || c.hudFps || c.hudFrameTime || c.hudDevice ||
               c.linearScaling || !c.vsync || c.traceFrames != 3 || c.logLevel != LogLevel::Warn);

  const std::map<std::string, std::string> env{
      {"QUILLON_WINDOWED", "1"},      {"QUILLON_VSYNC", "0"},         {"QUILLON_KEYS", "a.keys"},
      {"QUILLON_TIME", "43200.5"},    {"QUILLON_TRACE", "t/s.scene"}, {"QUILLON_TRACE_FRAMES", "5"},
      {"QUILLON_LOG_LEVEL", "error"}, {"QUILLON_HUD", "fps,device"},  {"QUILLON_SCALE", "linear"}};
  ASSERT_TRUE(ReadHostConfig(From(env), c, error)) << error;
  EXPECT_TRUE(c.windowed && !c.vsync && c.hudFps && c.hudDevice && c.linearScaling &&
              !c.hudFrameTime && *c.fixedTime == 43200.5 && c.traceFrames == 5 &&
              c.logLevel == LogLevel::Error);
  EXPECT_EQ(c.keysPath + " " + c.tracePath, "a.keys t/s.scene");
  // The common settings alone, as the Windows host reads them; "warning" too.
  CommonConfig common;
  const std::map<std::string, std::string> windows{{"QUILLON_LOG_LEVEL", "warning"},
                                                   {"QUILLON_TIME", "0"}};
  ASSERT_TRUE(ReadCommonConfig(From(windows), CommonSettings(), common, error));
  EXPECT_EQ(common.logLevel, LogLevel::Warn);
  EXPECT_EQ(common.fixedTime, 0.0);
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
    const std::map<std::string, std::string> env{{c.variable, c.value}};
    EXPECT_FALSE(ReadHostConfig(From(env), config, error)) << c.variable << "=" << c.value;
    EXPECT_EQ(error.find(c.said), 0u) << error;
  }
}

// Options stand for variables; a switch alone is on; each host knows its own.
TEST(HostConfig, CommandLineOptions) {
  // clang-format off
  const struct {
    HostSettingList settings;
    std::vector<const char*> args;
    std::vector<std::pair<std::string, std::string>> read;
    const char* error;
  } cases[] = {
      {SdlSettings(), {"--device=hal", "--keys", "a b.keys", "--windowed", "--threads", "2"},
       {{"QUILLON_DEVICE", "hal"}, {"QUILLON_KEYS", "a b.keys"}, {"QUILLON_WINDOWED", "1"}, {"QUILLON_THREADS", "2"}}, ""},
      {SdlSettings(), {"--vsync=0", "--hud"}, {{"QUILLON_VSYNC", "0"}, {"QUILLON_HUD", "1"}}, ""},
      {SdlSettings(), {"--time=5"}, {}, "unknown option '--time=5'"},  // a variable only
      {CommonSettings(), {"--log-level=info", "--help"}, {{"QUILLON_LOG_LEVEL", "info"}}, ""},
      {CommonSettings(), {"--windowed"}, {}, "unknown option '--windowed'"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<const char*> argv{"quillon"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CommandLine line;
    std::string error;
    EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), c.settings, line, error),
              *c.error == '\0')
        << c.args[0];
    EXPECT_EQ(error.find(c.error), 0u) << error;
    if (error.empty()) {
      EXPECT_EQ(line.settings, c.read);
    }
  }
}

// --help's lines: each setting's text wrapped at 72 columns, indented by six.
TEST(HostConfig, UsageWrapsTheSettingsHelp) {
  EXPECT_NE(UsageText().find(
                "      threads the reference device draws with, 1 to 64 (the processors, at\n"
                "      most 8)\n"),
            std::string::npos);
}
