// The scene runner: the calls a scene makes on a device, in order, with the
// scene bracket around the draws, and how a failing call ends the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scene/scene.h"
#include "scene/test_folder.h"
#include "testplatform/mock_device.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAreArray;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::SetArgReferee;

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

scene::Scene Parse(const scene::TestFolder& folder, const char* text) {
  scene::Scene s;
  std::string error;
  EXPECT_TRUE(scene::ParseScene(text, folder.Path().string(), s, &error)) << error;
  return s;
}

TEST(SceneRunner, IssuesTheCallsInOrderWithTheSceneBracket) {
  scene::TestFolder folder;
  std::string vertices(72, '\0');
  for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = static_cast<char>(i);
  folder.Write("v.bin", vertices);
  const scene::Scene s = Parse(folder,
                               "rs 137 0\nfvf 322\nclear 1 0xFF 1\nvb 24 4 1 v.bin\n"
                               "rs 27 1\nup 24 4 1 v.bin\nts 1 1 1\n");
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
  std::string error;
  EXPECT_EQ(scene::RunScene(device, s, &error), D3D_OK) << error;
  EXPECT_THAT(buffer->bytes, ElementsAreArray(vertices.begin(), vertices.end()));

  // No draw: no scene bracket at all.
  ::testing::StrictMock<MockDevice> quiet;
  EXPECT_CALL(quiet, SetRenderState(D3DRS_ZENABLE, 0u)).WillOnce(Return(D3D_OK));
  EXPECT_EQ(scene::RunScene(quiet, Parse(folder, "rs 7 0\n"), &error), D3D_OK);
}

TEST(SceneRunner, AFailingCallStopsTheRunAndNamesItsLine) {
  scene::TestFolder folder;
  folder.Write("v.bin", std::string(60, '\0'));
  ::testing::StrictMock<MockDevice> device;  // nothing after the failure
  EXPECT_CALL(device, SetVertexShader(0x44u)).WillOnce(Return(D3D_OK));
  EXPECT_CALL(device, BeginScene()).WillOnce(Return(D3D_OK));
  EXPECT_CALL(device, DrawPrimitiveUP(_, _, _, _))
      .WillOnce(Return(D3D_OK))
      .WillOnce(Return(D3DERR_INVALIDCALL));
  EXPECT_CALL(device, EndScene()).WillOnce(Return(D3D_OK));  // the bracket is closed
  std::string error;
  EXPECT_EQ(
      scene::RunScene(
          device, Parse(folder, "fvf 0x44\nup 20 4 1 v.bin\n\nup 20 4 1 v.bin\nrs 7 0\n"), &error),
      D3DERR_INVALIDCALL);
  EXPECT_EQ(error, "4: DrawPrimitiveUP failed (0x8876086C)");
}

}  // namespace
