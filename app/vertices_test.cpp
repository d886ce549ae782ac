// frmTest::SetupVertecies on the recording platform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "app/frmTest.h"
#include "tests/harness/program_platform.h"

namespace {

using Lines = std::vector<std::string>;

std::uint32_t Alpha(D3DCOLOR c) { return c >> 24; }
std::uint32_t Red(D3DCOLOR c) { return (c >> 16) & 0xFF; }
std::uint32_t Green(D3DCOLOR c) { return (c >> 8) & 0xFF; }
std::uint32_t Blue(D3DCOLOR c) { return c & 0xFF; }

class Vertices : public ::testing::Test {
 protected:
  ProgramPlatform tp;
  std::unique_ptr<frmTest> form = std::make_unique<frmTest>();
};

TEST_F(Vertices, EachCallReseedsFromTheTimeOfDay) {
  tp.script.timesOfDay = {30000.0f, 30000.0f, 30000.5f};
  // (The fields' ranges follow from the formulas below and the generator's
  // own range.)
  ASSERT_EQ(form->SetupVertecies(), 0);
  // The same time of day gives the same cloud, another time another one.
  const auto first = form->Verts;
  ASSERT_EQ(form->SetupVertecies(), 0);
  EXPECT_EQ(std::memcmp(&first, &form->Verts, sizeof first), 0);
  ASSERT_EQ(form->SetupVertecies(), 0);
  int same = 0;
  for (std::size_t i = 0; i < first.size(); ++i) same += first[i].X == form->Verts[i].X;
  EXPECT_LT(same, 10);

  // Timer, then the re-seed, then the 24000 draws of that call.
  const Lines& calls = tp.Calls();
  ASSERT_EQ(calls.size(), 3 * 24002u);
  EXPECT_EQ(calls[24002], "Timer -> 30000");
  EXPECT_EQ(calls[24003], "Randomize(30000)");
  EXPECT_EQ(calls[48005], "Randomize(30000.5)");
}

TEST_F(Vertices, RecordIFillsFromDrawsEightIPlusOneToEightIPlusEightRoundedToNearest) {
  // Records 0 and 1 test the rounding of the colour components; from there
  // on, draw k (from 1) is k / 2^15, distinct and exactly representable.
  const float justBelowHalfStep = std::nextafter(0.5f / 255.0f, 0.0f);
  const float justAboveHalfStep = std::nextafter(0.5f / 255.0f, 1.0f);
  const float largest = std::nextafter(1.0f, 0.0f);
  tp.script.randomValues = {0,
                            0,
                            0,
                            0.5f,
                            0.0f,
                            largest,
                            0,
                            0,  //
                            0,
                            0,
                            0,
                            justBelowHalfStep,
                            justAboveHalfStep,
                            0.998f,
                            0,
                            0};
  for (int k = 17; k <= 24000; ++k) tp.script.randomValues.push_back(k / 32768.0f);
  ASSERT_EQ(form->SetupVertecies(), 0);
  // 127.5 goes to the even 128; 0 stays 0; just under 255 rounds up to 255.
  EXPECT_EQ(form->Verts[0].Color, (64u << 24) | (128u << 16) | (0u << 8) | 255u);
  // Either side of 0.5 / 255; 0.998 * 255 = 254.49 rounds down.
  EXPECT_EQ(form->Verts[1].Color, (64u << 24) | (0u << 16) | (1u << 8) | 254u);
  for (int i : {2, 1499, 2999}) {
    SCOPED_TRACE(i);
    const SceneVertex& v = form->Verts[static_cast<std::size_t>(i)];
    auto r = [i](int n) { return static_cast<double>(8 * i + n) / 32768.0; };
    EXPECT_EQ(v.X, static_cast<float>(r(1) - 0.5));
    EXPECT_EQ(v.Y, static_cast<float>(r(2) - 0.5));
    EXPECT_EQ(v.Z, static_cast<float>(r(3) - 0.5));
    EXPECT_EQ(Red(v.Color), static_cast<std::uint32_t>(std::nearbyint(r(4) * 255)));
    EXPECT_EQ(Green(v.Color), static_cast<std::uint32_t>(std::nearbyint(r(5) * 255)));
    EXPECT_EQ(Blue(v.Color), static_cast<std::uint32_t>(std::nearbyint(r(6) * 255)));
    EXPECT_EQ(Alpha(v.Color), 64u);
    EXPECT_EQ(v.tu, static_cast<float>(r(7)));
    EXPECT_EQ(v.tv, static_cast<float>(r(8)));
  }
  // 8 * 2999 + 6 = 23998: r * 255 = 186.76..., so 187 (not truncated to 186).
  EXPECT_EQ(Blue(form->Verts[2999].Color), 187u);
}

TEST_F(Vertices, AFaultEndsTheCallKeepingTheRecordsFilledSoFar) {
  // Mark every record, then let record 5's red component overflow 16 bits.
  for (SceneVertex& v : form->Verts) v = {9, 9, 9, 0xDEADBEEF, 9, 9};
  for (int k = 0; k < 40; ++k) tp.script.randomValues.push_back(0.25f);
  tp.script.randomValues.insert(tp.script.randomValues.end(), {0.25f, 0.25f, 0.25f, 200.0f});
  EXPECT_EQ(form->SetupVertecies(), ErrOverflow);
  EXPECT_EQ(tp.Count("Rnd"), 44);  // nothing is drawn after the fault
  for (int i = 0; i < 5; ++i) EXPECT_EQ(form->Verts[static_cast<std::size_t>(i)].X, -0.25f) << i;
  for (int i : {5, 6, 2999}) {
    EXPECT_EQ(form->Verts[static_cast<std::size_t>(i)].X, 9.0f) << i;
    EXPECT_EQ(form->Verts[static_cast<std::size_t>(i)].Color, 0xDEADBEEFu) << i;
  }
}

}  // namespace
