#include "replay/gl_replay.h"

#include "gldevice/gl_device.h"
#include "gldevice/gl_direct3d.h"

bool ReplayOnGlDevice(const scene::Scene& scene, Image& image, std::string* error) {
  std::string why;
  std::shared_ptr<GlContext> context = MakeSurfacelessContext(&why);
  if (!context) {
    if (error) *error = "no OpenGL 3.3 context for the hardware device: " + why;
    return false;
  }
  if (!DescribeCurrentContext().core33) {
    if (error) *error = "the OpenGL context is not 3.3 core";
    return false;
  }
  GlDirect3D8 d3d(nullptr, context);
  Ref<Direct3DDevice8> device;
  const HRESULT hr = scene::CreateSceneDevice(d3d, D3DDEVTYPE_HAL, device);
  if (hr != D3D_OK) {
    if (error) *error = "CreateDevice failed on the hardware device";
    return false;
  }
  if (scene::RunScene(*device, scene, error) != D3D_OK) return false;
  image = ImageFromFrame(static_cast<GlDevice&>(*device).ReadBackBuffer());
  if (image.pixels.empty()) {
    if (error) *error = "the back buffer cannot be read";
    return false;
  }
  return true;
}
