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

TEST(HostConfig, DefaultsWithNothingSet) {
  HostConfig c;
  std::string error;
  ASSERT_TRUE(Read({}, c, error));
  EXPECT_FALSE(c.windowed);
  EXPECT_TRUE(c.vsync);
  EXPECT_FALSE(c.fixedTime.has_value());
  EXPECT_TRUE(c.keysPath.empty());
  EXPECT_TRUE(c.tracePath.empty());
  EXPECT_EQ(c.traceFrames, 3);
}

TEST(HostConfig, ReadsEveryVariable) {
  HostConfig c;
  std::string error;
  ASSERT_TRUE(Read({{"QUILLON_WINDOWED", "1"}, {"QUILLON_VSYNC", "0"}, {"QUILLON_KEYS", "a.keys"},
                    {"QUILLON_TIME", "43200.5"}, {"QUILLON_TRACE", "t/s.scene"},
                    {"QUILLON_TRACE_FRAMES", "5"}},
                   c, error))
      << error;
  EXPECT_TRUE(c.windowed);
  EXPECT_FALSE(c.vsync);
  EXPECT_EQ(c.keysPath, "a.keys");
  EXPECT_DOUBLE_EQ(*c.fixedTime, 43200.5);
  EXPECT_EQ(c.tracePath, "t/s.scene");
  EXPECT_EQ(c.traceFrames, 5);
}

TEST(HostConfig, RefusesMalformedValues) {
  HostConfig c;
  std::string error;
  EXPECT_FALSE(Read({{"QUILLON_WINDOWED", "maybe"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_TIME", "noon"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_TIME", "86400"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_TIME", "-1"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_TRACE_FRAMES", "0"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_TRACE_FRAMES", "3x"}}, c, error));
  EXPECT_NE(error.find("QUILLON_TRACE_FRAMES"), std::string::npos);
}

TEST(HostConfig, LogLevelOverlayAndScaling) {
  HostConfig c;
  std::string error;
  ASSERT_TRUE(Read({}, c, error));
  EXPECT_EQ(c.logLevel, LogLevel::Warn);
  EXPECT_FALSE(c.hudFps || c.hudFrameTime || c.hudDevice || c.linearScaling);
  ASSERT_TRUE(Read(
      {{"QUILLON_LOG_LEVEL", "error"}, {"QUILLON_HUD", "fps,device"}, {"QUILLON_SCALE", "linear"}},
      c, error))
      << error;
  EXPECT_EQ(c.logLevel, LogLevel::Error);
  EXPECT_TRUE(c.hudFps && c.hudDevice && c.linearScaling);
  EXPECT_FALSE(c.hudFrameTime);
  ASSERT_TRUE(Read({{"QUILLON_LOG_LEVEL", "warning"}}, c, error));  // the long word too
  EXPECT_EQ(c.logLevel, LogLevel::Warn);
  EXPECT_FALSE(Read({{"QUILLON_LOG_LEVEL", "loud"}}, c, error));
  EXPECT_NE(error.find("error, warn, info or debug"), std::string::npos);
  EXPECT_FALSE(Read({{"QUILLON_HUD", "fps,clock"}}, c, error));
  EXPECT_FALSE(Read({{"QUILLON_SCALE", "cubic"}}, c, error));
}
