// The recording platform's own promises that the program's tests do not
// exercise on their own: the failure of one chosen occurrence, releases after
// the platform has gone, and the published refusals of its device and keyboard.
#include "testplatform/test_platform.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(TestPlatform, FailsTheChosenOccurrenceOnly) {
  TestPlatform tp;
  tp.Fail("DX.Direct3DCreate", E_FAIL, 2);
  Ref<DirectX8> dx;
  ASSERT_EQ(tp.NewDirectX8(dx), 0);
  Ref<Direct3D8> a, b, c;
  EXPECT_EQ(dx->Direct3DCreate(a), 0);
  EXPECT_EQ(dx->Direct3DCreate(b), E_FAIL);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(dx->Direct3DCreate(c), 0);
  EXPECT_EQ(tp.Calls(),
            (std::vector<std::string>{"new DirectX8", "DX.Direct3DCreate",
                                      "DX.Direct3DCreate -> -2147467259", "DX.Direct3DCreate"}));
  EXPECT_EQ(tp.Count("DX.Direct3DCreate"), 3);
}

TEST(TestPlatform, RecordsReleasesFromDestructorsEvenAfterThePlatformHasGone) {
  Ref<DirectX8> dx;
  std::vector<std::string> calls;
  {
    TestPlatform tp;
    ASSERT_EQ(tp.NewDirectX8(dx), 0);
    Ref<Direct3D8> d3d;
    ASSERT_EQ(dx->Direct3DCreate(d3d), 0);
    d3d = nullptr;
    EXPECT_EQ(tp.CallsStartingWith("release "), std::vector<std::string>{"release D3D"});
  }
  dx = nullptr;  // must not touch the gone platform
}

TEST(TestPlatform, DeviceKeepsWhatIsSetAndCopiesWhatIsDrawn) {
  TestPlatform tp;
  Ref<DirectX8> dx;
  Ref<Direct3D8> d3d;
  Ref<Direct3DDevice8> dev;
  ASSERT_EQ(tp.NewDirectX8(dx), 0);
  ASSERT_EQ(dx->Direct3DCreate(d3d), 0);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = 1;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, 7, 0x20, pp, dev), 0);
  auto state = tp.Device();
  ASSERT_TRUE(state);
  EXPECT_EQ(state->RenderState(D3DRS_LIGHTING), 1u);  // the published default
  EXPECT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0xFFFFFFFFu), 0);
  EXPECT_EQ(tp.Calls().back(), "Device.SetRenderState(27, 4294967295)");
  EXPECT_EQ(state->RenderState(D3DRS_ALPHABLENDENABLE), 0xFFFFFFFFu);

  Ref<Direct3DVertexBuffer8> vb;
  ASSERT_EQ(dev->CreateVertexBuffer(36, 0, 0x42, D3DPOOL_DEFAULT, vb), 0);
  const BYTE bytes[36] = {1, 2, 3};
  ASSERT_EQ(D3DVertexBuffer8SetData(vb, 0, 36, 0, bytes), 0);
  ASSERT_EQ(dev->SetStreamSource(0, vb, 12), 0);
  ASSERT_EQ(dev->SetVertexShader(D3DFVF_XYZ), 0);
  ASSERT_EQ(dev->BeginScene(), 0);
  ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), 0);
  ASSERT_TRUE(state->LastDrawPrimitive);
  EXPECT_EQ(state->LastDrawPrimitive->Vertices[2], 3);
  EXPECT_EQ(state->StreamStride, 12u);

  const float quad[4 * 4] = {};
  ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 16), 0);
  EXPECT_EQ(tp.Calls().back(), "Device.DrawPrimitiveUP(5, 2, <64 bytes>, 16)");
  EXPECT_EQ(state->LastDrawPrimitiveUP->Vertices.size(), 64u);
  EXPECT_EQ(state->StreamSource, nullptr);  // stream 0 is unbound by a user-memory draw

  vb = nullptr;  // the device no longer holds it either
  EXPECT_EQ(tp.CallsStartingWith("release ").back(), "release VertexBuffer");
  dev = nullptr;
  EXPECT_TRUE(state->Released);
}

TEST(TestPlatform, KeyboardReadsTheScriptedPollsThenNothing) {
  TestPlatform tp;
  tp.PushKeys({DIK_UP, DIK_ESCAPE});
  tp.script.pollsAfterScript = 2;
  Ref<DirectX8> dx;
  Ref<DirectInput8> di;
  Ref<DirectInputDevice8> kb;
  ASSERT_EQ(tp.NewDirectX8(dx), 0);
  ASSERT_EQ(dx->DirectInputCreate(di), 0);
  ASSERT_EQ(di->CreateDevice("GUID_SysKeyboard", kb), 0);
  DIKEYBOARDSTATE s{};
  EXPECT_EQ(kb->GetDeviceStateKeyboard(s), DIERR_NOTACQUIRED);
  EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  ASSERT_EQ(kb->SetCommonDataFormat(DIFORMAT_KEYBOARD), 0);
  EXPECT_EQ(kb->SetCooperativeLevel(1, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  ASSERT_EQ(kb->Acquire(), 0);
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_EQ(s[DIK_UP], 0x80);
  EXPECT_EQ(s[DIK_ESCAPE], 0x80);
  EXPECT_EQ(s[DIK_DOWN], 0);
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_EQ(s, DIKEYBOARDSTATE{});
  ASSERT_EQ(kb->GetDeviceStateKeyboard(s), 0);
  EXPECT_THROW(kb->GetDeviceStateKeyboard(s), TestScriptExhausted);
}

}  // namespace
