#include "scene/scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "refdevice/test_support.h"
#include "testplatform/mock_device.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::StartsWith;

// A buffer that keeps what the fill wrote into it.
class MemoryBuffer : public Direct3DVertexBuffer8 {
 public:
  explicit MemoryBuffer(UINT size) : bytes(size) {}
  HRESULT Lock(UINT offset, UINT, BYTE** data, DWORD) override {
    *data = bytes.data() + offset;
    return D3D_OK;
  }
  HRESULT Unlock() override { return D3D_OK; }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC&) override { return D3D_OK; }
  std::vector<BYTE> bytes;
};

// A scratch folder for one test's scene files.
class SceneFiles : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) {
    folder_.Write(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  std::string Folder() const { return folder_.Path().string(); }
  // Parses `text` expecting a refusal; returns the message.
  std::string Refusal(const std::string& text) {
    scene::Scene s;
    std::string error;
    EXPECT_FALSE(scene::ParseScene(text, Folder(), s, &error)) << text;
    return error;
  }

  test_support::ScratchFolder folder_;
};

TEST_F(SceneFiles, ParsesEveryCommandWithItsOperands) {
  Write("tri.bin", std::string(60, 'v'));
  const std::string text =
      "# a comment line\n"
      "\n"
      "clear 3 0xFF0000FF 1.0\t\t# trailing comment\n"
      "clear 0x4 0 0.5 7\r\n"
      "rs 27 0xFFFFFFFF\n"
      "rsf 36 0.5\n"
      "rsf 37 0x3F800000\n"
      "ts 0 1 2\n"
      "fvf 834\n"
      "world 1 0 0 0  0 1 0 0  0 0 1 0  0 0 5 1\n"
      "vb 20 4 1 tri.bin\n"
      "up 20 4 1 tri.bin";  // no final newline
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::ParseScene(text, Folder(), s, &error)) << error;
  ASSERT_EQ(s.commands.size(), 10u);

  const auto& c0 = s.commands[0];
  EXPECT_EQ(c0.op, scene::Op::Clear);
  EXPECT_EQ(c0.line, 3);
  EXPECT_EQ(c0.args[0], 3u);
  EXPECT_EQ(c0.args[1], 0xFF0000FFu);
  EXPECT_EQ(c0.z, 1.0f);
  EXPECT_EQ(c0.args[2], 0u);  // stencil defaults to 0
  EXPECT_EQ(s.commands[1].args[2], 7u);
  EXPECT_EQ(s.commands[1].z, 0.5f);

  EXPECT_EQ(s.commands[2].args[1], 0xFFFFFFFFu);
  float f;
  std::memcpy(&f, &s.commands[3].args[1], 4);
  EXPECT_EQ(f, 0.5f);
  EXPECT_EQ(s.commands[4].args[1], 0x3F800000u);  // hex floats are bit patterns
  EXPECT_EQ(s.commands[5].op, scene::Op::TextureStageState);
  EXPECT_EQ(s.commands[6].args[0], 834u);
  EXPECT_EQ(s.commands[7].transform, D3DTS_WORLD);
  EXPECT_EQ(s.commands[7].matrix.m[3][2], 5.0f);
  EXPECT_EQ(s.commands[8].op, scene::Op::VertexBuffer);
  EXPECT_EQ(s.commands[8].data.size(), 60u);
  EXPECT_EQ(s.commands[9].op, scene::Op::UserPointer);
  EXPECT_EQ(s.commands[9].line, 12);
}

TEST_F(SceneFiles, MalformedLinesAreRefusedWithTheirLineNumber) {
  Write("small.bin", std::string(59, 'v'));
  EXPECT_EQ(Refusal("rs 7 1\nbogus 1 2\n"), "2: unknown command 'bogus'");
  EXPECT_THAT(Refusal("\n\nrs 7\n"), StartsWith("3: expected: rs STATE VALUE"));
  EXPECT_THAT(Refusal("rs 7 1 2\n"), StartsWith("1: expected"));
  EXPECT_THAT(Refusal("rs 7 0x100000000\n"), HasSubstr("not a 32-bit integer"));
  EXPECT_THAT(Refusal("rs 7 -1\n"), HasSubstr("not a 32-bit integer"));
  EXPECT_THAT(Refusal("rs 7 12abc\n"), HasSubstr("'12abc'"));
  EXPECT_THAT(Refusal("rs 7 0x\n"), HasSubstr("not a 32-bit integer"));
  EXPECT_THAT(Refusal("rsf 36 zero\n"), HasSubstr("not a number"));
  EXPECT_THAT(Refusal("clear 1 0\n"), HasSubstr("clear FLAGS COLOR Z [STENCIL]"));
  EXPECT_THAT(Refusal("view 1 0 0 0\n"), StartsWith("1: view takes 16 numbers"));
  EXPECT_THAT(Refusal("RS 7 1\n"), HasSubstr("unknown command"));  // names are lower case
  EXPECT_THAT(Refusal("up 20 7 1 small.bin\n"), HasSubstr("primitive type 7"));
  EXPECT_THAT(Refusal("vb 20 4 1 missing.bin\n"), HasSubstr("cannot read"));
  // Three vertices of 20 bytes need 60.
  EXPECT_THAT(Refusal("up 20 4 1 small.bin\n"), HasSubstr("holds 59 bytes; the draw reads 60"));
  EXPECT_THAT(Refusal("up 20 5 0xFFFFFFFF small.bin\n"), HasSubstr("the draw reads"));
}

TEST_F(SceneFiles, RunIssuesTheCallsInOrderWithTheSceneBracket) {
  std::string vertices(72, '\0');
  for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = static_cast<char>(i);
  Write("v.bin", vertices);
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(
      scene::ParseScene("rs 137 0\nfvf 322\nclear 1 0xFF 1\nvb 24 4 1 v.bin\n"
                        "rs 27 1\nup 24 4 1 v.bin\nts 1 1 1\n",
                        Folder(), s, &error))
      << error;

  MockDevice device;
  auto buffer = std::make_shared<MemoryBuffer>(72);
  {
    InSequence order;
    EXPECT_CALL(device, SetRenderState(D3DRS_LIGHTING, 0u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, SetVertexShader(322u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, Clear(0u, nullptr, 1u, 0xFFu, 1.0f, 0u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, BeginScene()).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, CreateVertexBuffer(72u, 0u, 322u, D3DPOOL_DEFAULT, _))
        .WillOnce(DoAll(SetArgReferee<4>(buffer), Return(D3D_OK)));
    EXPECT_CALL(device, SetStreamSource(0u, _, 24u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, DrawPrimitive(D3DPT_TRIANGLELIST, 0u, 1u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, SetRenderState(D3DRS_ALPHABLENDENABLE, 1u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1u, _, 24u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, SetTextureStageState(1u, D3DTSS_COLOROP, 1u)).WillOnce(Return(D3D_OK));
    EXPECT_CALL(device, EndScene()).WillOnce(Return(D3D_OK));
  }
  EXPECT_EQ(scene::RunScene(device, s, &error), D3D_OK) << error;
  EXPECT_THAT(buffer->bytes, ElementsAreArray(vertices.begin(), vertices.end()));
}

TEST_F(SceneFiles, AFailingCallStopsTheRunAndNamesItsLine) {
  Write("v.bin", std::string(60, '\0'));
  scene::Scene s;
  std::string error;
  ASSERT_TRUE(scene::ParseScene("fvf 0x44\nup 20 4 1 v.bin\n\nup 20 4 1 v.bin\nrs 7 0\n", Folder(),
                                s, &error));
  MockDevice device;
  EXPECT_CALL(device, SetVertexShader(0x44u)).WillOnce(Return(D3D_OK));
  EXPECT_CALL(device, BeginScene()).WillOnce(Return(D3D_OK));
  EXPECT_CALL(device, DrawPrimitiveUP(_, _, _, _))
      .WillOnce(Return(D3D_OK))
      .WillOnce(Return(D3DERR_INVALIDCALL));
  EXPECT_CALL(device, SetRenderState(_, _)).Times(0);
  EXPECT_CALL(device, EndScene()).WillOnce(Return(D3D_OK));  // the bracket is closed
  EXPECT_EQ(scene::RunScene(device, s, &error), D3DERR_INVALIDCALL);
  EXPECT_EQ(error, "4: DrawPrimitiveUP failed (0x8876086C)");

  // No draw: no scene bracket at all.
  MockDevice quiet;
  scene::Scene states;
  ASSERT_TRUE(scene::ParseScene("rs 7 0\n", Folder(), states, &error));
  EXPECT_CALL(quiet, SetRenderState(D3DRS_ZENABLE, 0u)).WillOnce(Return(D3D_OK));
  EXPECT_CALL(quiet, BeginScene()).Times(0);
  EXPECT_CALL(quiet, EndScene()).Times(0);
  EXPECT_EQ(scene::RunScene(quiet, states, &error), D3D_OK);
}

}  // namespace
