#include "gldevice/gl_context.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstring>

namespace {

class SurfacelessContext final : public GlContext {
 public:
  SurfacelessContext(EGLDisplay display, EGLContext context)
      : display_(display), context_(context) {}
  ~SurfacelessContext() override {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    // The display stays initialised: other contexts may share it, and EGL
    // reference-counts nothing here.
  }
  bool MakeCurrent() override {
    if (eglGetCurrentContext() == context_) return true;
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
  }

 private:
  EGLDisplay display_;
  EGLContext context_;
};

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

EGLDisplay OpenDisplay() {
  const char* clientExts = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (HasExtension(clientExts, "EGL_MESA_platform_surfaceless")) {
    EGLDisplay d =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
  }
  if (HasExtension(clientExts, "EGL_EXT_platform_device") &&
      HasExtension(clientExts, "EGL_EXT_device_enumeration")) {
    EGLDeviceEXT devices[8];
    EGLint count = 0;
    if (eglQueryDevicesEXT(8, devices, &count) && count > 0) {
      EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
      if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
    }
  }
  return EGL_NO_DISPLAY;
}

}  // namespace

std::unique_ptr<GlContext> MakeSurfacelessContext(std::string* error) {
  auto fail = [&](const char* why) -> std::unique_ptr<GlContext> {
    if (error) *error = why;
    return nullptr;
  };
  EGLDisplay display = OpenDisplay();
  if (display == EGL_NO_DISPLAY) return fail("no EGL display without a window system");
  if (!HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context"))
    return fail("EGL cannot make a context without a surface");
  if (!eglBindAPI(EGL_OPENGL_API)) return fail("EGL offers no desktop OpenGL");
  const EGLint configAttribs[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  if (!eglChooseConfig(display, configAttribs, &config, 1, &configs) || configs < 1) {
    // Surfaceless contexts need no config where EGL_KHR_no_config_context
    // is offered.
    config = nullptr;
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                   3,
                                   EGL_CONTEXT_MINOR_VERSION,
                                   3,
                                   EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                   EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT) return fail("EGL cannot make an OpenGL 3.3 core context");
  auto result = std::make_unique<SurfacelessContext>(display, context);
  if (!result->MakeCurrent()) return fail("the EGL context cannot be made current");
  return result;
}

GlInfo DescribeCurrentContext() {
  GlInfo info;
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  info.renderer = renderer ? renderer : "";
  info.version = version ? version : "";
  GLint major = 0, minor = 0, mask = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  info.core33 = (major > 3 || (major == 3 && minor >= 3)) && (mask & GL_CONTEXT_CORE_PROFILE_BIT);
  info.software = IsSoftwareRenderer(info.renderer);
  return info;
}

bool IsSoftwareRenderer(std::string_view renderer) {
  for (std::string_view name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "SWR"})
    if (renderer.find(name) != std::string_view::npos) return true;
  return false;
}

bool AcceptsContext(const GlInfo& info, bool anyRenderer) {
  return info.core33 && (anyRenderer || !info.software);
}
