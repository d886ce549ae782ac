// The quillon-replay executable: its arguments, exit statuses and messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "refdevice/test_support.h"

#ifdef QUILLON_REPLAY_TOOL

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

ToolRun Tool(const std::string& args) {
  ToolRun run;
  const std::string command = Quote(QUILLON_REPLAY_TOOL) + " " + args + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[512];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) run.output.append(buf, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(ReplayTool, WritesTheBackBufferAsPngOrPpm) {
  test_support::ScratchFolder out;
  const std::string scenePath = (test_support::TestDataDir() / "picture_452.scene").string();
  const std::string png = (out.Path() / "frame.png").string();
  const std::string ppm = (out.Path() / "frame.ppm").string();
  ToolRun run = Tool(Quote(scenePath) + " " + Quote(png));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  run = Tool("--device ref " + Quote(scenePath) + " " + Quote(ppm));
  ASSERT_EQ(run.status, 0) << run.output;

  Image fromPng;
  std::string error;
  ASSERT_TRUE(ReadPng(png, fromPng, &error)) << error;
  test_support::ExpectMatchesGolden(fromPng, "picture_452.png");
  std::ifstream in(ppm, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string header = "P6\n640 480\n255\n";
  ASSERT_EQ(bytes.size(), header.size() + 640u * 480u * 3u);
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  // Pixel (0, 0) is the blue corner, stored R, G, B.
  EXPECT_EQ(bytes.substr(header.size(), 3), std::string("\0\0\xFF", 3));
}

TEST(ReplayTool, FailuresWriteNothingAndSayWhy) {
  test_support::ScratchFolder dir;
  const std::string scenePath = (dir.Path() / "bad.scene").string();
  std::ofstream(scenePath) << "clear 1 0 1\n# fine so far\nrs 7\n";
  const std::string outPath = (dir.Path() / "out.png").string();

  ToolRun run = Tool(Quote(scenePath) + " " + Quote(outPath));
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.output, StartsWith("quillon-replay: " + scenePath + ":3: expected: rs"));
  EXPECT_FALSE(fs::exists(outPath));

  // A draw the device refuses: a vertex buffer too short for the count.
  std::ofstream(dir.Path() / "short.bin", std::ios::binary) << std::string(40, '\0');
  std::ofstream(scenePath) << "fvf 0x44\n\nvb 20 4 1 short.bin\n";
  run = Tool(Quote(scenePath) + " " + Quote(outPath));
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.output, HasSubstr(scenePath + ":3: DrawPrimitive failed (0x8876086C)"));
  EXPECT_FALSE(fs::exists(outPath));

  // The hardware device refuses the same call with the same line.
  run = Tool("--device hal " + Quote(scenePath) + " " + Quote(outPath));
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.output, HasSubstr(scenePath + ":3: DrawPrimitive failed (0x8876086C)"));
  EXPECT_FALSE(fs::exists(outPath));

  run = Tool(Quote(scenePath) + " " + Quote((dir.Path() / "out.bmp").string()));
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.output, HasSubstr("must end in .png or .ppm"));
  EXPECT_EQ(Tool("--device gpu a.scene b.png").status, 2);
  EXPECT_EQ(Tool("only-one-argument").status, 2);
  EXPECT_EQ(Tool(Quote((dir.Path() / "missing.scene").string()) + " x.png").status, 1);
}

}  // namespace

#endif
