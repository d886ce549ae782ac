// Bringing the graphics side up: the DirectX 8 root, Direct3D with its device,
// and the D3DX utility object.
#include "graphics/moduleDX8.h"
#include "graphics/platform_access.h"
#include "platform/checked.h"
#include "platform/resume_next.h"

namespace moduleDX8 {

std::int32_t InitDX() {
  ResumeNext rn;
  rn.Step([] {
    Ref<DirectX8> created;
    Check(PlatformObjectsOrRaise().NewDirectX8(created), "DirectX8");
    DX = created;
  });
  return Err().Number;
}

std::int32_t InitD3D(std::int32_t hWnd, std::int32_t Width, std::int32_t Height, std::int32_t Depth,
                     std::int32_t BackBuffers, std::int32_t DepthFormat) {
  ResumeNext rn;
  std::int32_t backBufferFormat = D3DFMT_UNKNOWN;

  rn.Step([] {
    Ref<Direct3D8> created;
    Check(Use(DX, "DirectX8").Direct3DCreate(created), "DirectX8");
    D3D = created;
  });
  if (ResumeNext::ErrorPending()) return Err().Number;

  // The hardware device, else the reference rasteriser; no third try.
  const auto probe = [&] {
    rn.Step([] {
      Check(Use(D3D, "Direct3D8").GetDeviceCaps(0, static_cast<D3DDEVTYPE>(DevType), D3DCaps),
            "Direct3D8");
    });
  };
  DevType = D3DDEVTYPE_HAL;
  probe();
  if (ResumeNext::ErrorPending()) {
    Err().Clear();
    DevType = D3DDEVTYPE_REF;
    probe();
    if (ResumeNext::ErrorPending()) return D3DERR_NOTAVAILABLE;
  }

  // A failure here stays pending and leaves DispMode as it was.
  rn.Step([] {
    D3DDISPLAYMODE mode = DispMode;
    Check(Use(D3D, "Direct3D8").GetAdapterDisplayMode(0, mode), "Direct3D8");
    DispMode = mode;
  });

  // The sum decides, added left to right with overflow checks; an overflow
  // is passed over into the first (windowed) branch.
  const bool windowed = rn.Test([&] { return AddChecked(AddChecked(Width, Height), Depth) == 0; });
  if (windowed) {
    if (DispMode.Format == D3DFMT_P8 || DispMode.Format == D3DFMT_A8P8) return D3DERR_INVALIDDEVICE;
    backBufferFormat = DispMode.Format;
    D3DPP.SwapEffect = D3DSWAPEFFECT_DISCARD;
    D3DPP.Windowed = 1;
  } else {
    if (rn.Test([&] { return FindDisplayMode(Width, Height, Depth, backBufferFormat) != 0; }))
      return D3DERR_INVALIDDEVICE;
    D3DPP.SwapEffect = D3DSWAPEFFECT_FLIP;
    D3DPP.BackBufferCount = static_cast<UINT>(BackBuffers);
    D3DPP.BackBufferWidth = static_cast<UINT>(Width);
    D3DPP.BackBufferHeight = static_cast<UINT>(Height);
    if (DepthFormat > 0) {
      // The status comes back as a value; a refusal means no depth buffer.
      if (rn.Test([&] {
            return Use(D3D, "Direct3D8")
                       .CheckDeviceFormat(0, static_cast<D3DDEVTYPE>(DevType),
                                          static_cast<D3DFORMAT>(backBufferFormat),
                                          D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                          static_cast<D3DFORMAT>(DepthFormat)) == D3D_OK;
          })) {
        D3DPP.EnableAutoDepthStencil = 1;
        D3DPP.AutoDepthStencilFormat = DepthFormat;
      }
    }
  }
  D3DPP.BackBufferFormat = backBufferFormat;

  // A failure leaves D3DDevice as it was; the default states then fail on it.
  rn.Step([&] {
    Ref<Direct3DDevice8> created;
    Check(Use(D3D, "Direct3D8")
              .CreateDevice(0, static_cast<D3DDEVTYPE>(DevType), hWnd,
                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DPP, created),
          "Direct3D8");
    D3DDevice = created;
  });

  if (rn.Test([] { return SetDefaultRenderStates() != 0; })) {
    rn.Step([] { Check(RuntimeOrRaise().MsgBox("Unable to initialize the device"), "Runtime"); });
  }
  return 0;
}

void InitD3DX() {
  Ref<D3DX8> created;
  Check(PlatformObjectsOrRaise().NewD3DX8(created), "D3DX8");
  D3DX = created;
}

}  // namespace moduleDX8
