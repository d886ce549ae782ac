// The settings as hosts read them, and the shell's --help. Refusals the user
// sees are in tests/e2e/messages.sh's table; those of settings it does not
// run are here.
#include "hostcommon/host_config.h"

#include <gtest/gtest.h>

#include <map>

#include "hostcommon/shell.h"

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
  ASSERT_TRUE(ReadHostConfig(From({}), ShellSettings(), c, error));
  EXPECT_FALSE(c.windowed || c.fixedTime || c.hudFps || c.hudFrameTime || c.hudDevice ||
               c.linearScaling || !c.vsync || c.traceFrames != 3 || c.logLevel != LogLevel::Warn ||
               c.threads != 0 || !c.kernels || c.device != DeviceChoice::Auto);

  const std::map<std::string, std::string> env{
      {"QUILLON_WINDOWED", "1"},      {"QUILLON_VSYNC", "0"},         {"QUILLON_KEYS", "a.keys"},
      {"QUILLON_TIME", "43200.5"},    {"QUILLON_TRACE", "t/s.scene"}, {"QUILLON_TRACE_FRAMES", "5"},
      {"QUILLON_LOG_LEVEL", "error"}, {"QUILLON_HUD", "fps,device"},  {"QUILLON_SCALE", "linear"},
      {"QUILLON_THREADS", "64"},      {"QUILLON_KERNELS", "off"},     {"QUILLON_DEVICE", "ref"}};
  ASSERT_TRUE(ReadHostConfig(From(env), ShellSettings(), c, error)) << error;
  EXPECT_TRUE(c.windowed && !c.vsync && c.hudFps && c.hudDevice && c.linearScaling &&
              !c.hudFrameTime && *c.fixedTime == 43200.5 && c.traceFrames == 5 &&
              c.logLevel == LogLevel::Error && c.threads == 64 && !c.kernels &&
              c.device == DeviceChoice::Ref);
  EXPECT_EQ(c.keysPath + " " + c.tracePath, "a.keys t/s.scene");
  // A host reads only what it takes: the common settings, as the Windows
  // host does; "warning" too.
  const std::map<std::string, std::string> windows{
      {"QUILLON_LOG_LEVEL", "warning"}, {"QUILLON_TIME", "0"}, {"QUILLON_THREADS", "four"}};
  ASSERT_TRUE(ReadHostConfig(From(windows), CommonSettings(), c, error)) << error;
  EXPECT_EQ(c.logLevel, LogLevel::Warn);
  EXPECT_EQ(c.fixedTime, 0.0);
}

// A refusal starts with the variable, its option and the quoted value.
TEST(HostConfig, RefusesMalformedValues) {
  // clang-format off
  const struct { const char* variable; const char* value; const char* said; } cases[] = {
      {"QUILLON_VSYNC", "2", "QUILLON_VSYNC (--vsync) '2'"},
      {"QUILLON_TIME", "noon", "QUILLON_TIME 'noon'"},
      {"QUILLON_TIME", "86400", "QUILLON_TIME '86400'"},
      {"QUILLON_TIME", "-1", "QUILLON_TIME '-1'"},
      {"QUILLON_TIME", " 5", "QUILLON_TIME ' 5'"},
      {"QUILLON_TIME", "0x10", "QUILLON_TIME '0x10'"},
      {"QUILLON_TRACE_FRAMES", "0", "QUILLON_TRACE_FRAMES '0'"},
      {"QUILLON_TRACE_FRAMES", "3x", "QUILLON_TRACE_FRAMES '3x'"},
      {"QUILLON_HUD", "fps,clock", "QUILLON_HUD (--hud) 'fps,clock'"},
      {"QUILLON_SCALE", "cubic", "QUILLON_SCALE (--scale) 'cubic'"},
      {"QUILLON_KERNELS", "banana", "QUILLON_KERNELS 'banana' is refused: it must be 1, 0,"},
      {"QUILLON_THREADS", "2 ", "QUILLON_THREADS (--threads) '2 '"},
  };
  // clang-format on
  for (const auto& c : cases) {
    HostConfig config;
    std::string error;
    const std::map<std::string, std::string> env{{c.variable, c.value}};
    EXPECT_FALSE(ReadHostConfig(From(env), ShellSettings(), config, error))
        << c.variable << "=" << c.value;
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
      {ShellSettings(), {"--device=hal", "--keys", "a b.keys", "--windowed", "--threads", "2"},
       {{"QUILLON_DEVICE", "hal"}, {"QUILLON_KEYS", "a b.keys"}, {"QUILLON_WINDOWED", "1"}, {"QUILLON_THREADS", "2"}}, ""},
      {ShellSettings(), {"--vsync=0", "--hud"}, {{"QUILLON_VSYNC", "0"}, {"QUILLON_HUD", "1"}}, ""},
      {ShellSettings(), {"--time=5"}, {}, "unknown option '--time=5'"},  // a variable only
      {CommonSettings(), {"--log-level=info", "--help"}, {{"QUILLON_LOG_LEVEL", "info"}}, ""},
      {CommonSettings(), {"--windowed"}, {}, "unknown option '--windowed'"},
      // An empty value would read as unset, undoing the variable.
      {CommonSettings(), {"--drive-c="}, {}, "--drive-c= has an empty value: it takes DIR;"},
      {ShellSettings(), {"--keys", ""}, {}, "--keys= has an empty value"},
      {ShellSettings(), {"--windowed="}, {}, "--windowed= has an empty value: it takes 0|1;"},
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

// --help: each setting's text wrapped at 72 columns, indented by six; the
// trace's status only where the host takes the trace.
TEST(HostConfig, UsageText) {
  const std::string all = UsageText(ShellSettings(), {});
  EXPECT_NE(all.find("      threads the reference device draws with, 1 to 64 (the processors, at\n"
                     "      most 8)\n"),
            std::string::npos);
  EXPECT_NE(all.find("3 ended by the user but a trace could not be written,\n"), std::string::npos);
  const std::string common = UsageText(CommonSettings(), {"  F12  save\n", "No screen.\n"});
  EXPECT_EQ(common.find("QUILLON_THREADS"), std::string::npos);
  EXPECT_NE(common.find("the others are the host's, taken from the window):\n"), std::string::npos);
  EXPECT_NE(common.find("button)\n  F12  save\n"), std::string::npos);
  EXPECT_NE(common.find("\"quillon:\".\nNo screen.\nExit status: 0 ended by the user, 1 after an "
                        "error report, 2 bad settings,\n4 ended by the user but a key script's "
                        "capture could not be written.\n"),
            std::string::npos);
}
