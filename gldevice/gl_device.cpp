// The hardware device's life: its back buffer and context state, made once.
#include "gldevice/gl_device.h"

#include "formats/pixel_format.h"
#include "platform/d3d8_defaults.h"
#include "refdevice/ref_direct3d.h"

namespace gldev {

// The first size of the buffer that vertices from memory stream through.
constexpr GLsizeiptr kStreamBytes = 1 << 20;

namespace {

GLenum ColourFormat(std::int32_t format) {
  switch (format) {
    case D3DFMT_R5G6B5:
      return GL_RGB565;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return GL_RGB5_A1;
    default:
      return GL_RGBA8;
  }
}

GLenum DepthFormat(std::int32_t format) {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
      return GL_DEPTH_COMPONENT16;
    case D3DFMT_D32:
      return GL_DEPTH_COMPONENT32;
    case D3DFMT_D24S8:
      return GL_DEPTH24_STENCIL8;
    default:
      return GL_DEPTH_COMPONENT24;
  }
}

// Retraces a present waits for; a windowed device does not wait.
int SwapInterval(const D3DPRESENT_PARAMETERS& params) {
  if (params.Windowed) return 0;
  switch (params.FullScreen_PresentationInterval) {
    case D3DPRESENT_INTERVAL_IMMEDIATE:
      return 0;
    case D3DPRESENT_INTERVAL_TWO:
      return 2;
    case D3DPRESENT_INTERVAL_THREE:
      return 3;
    case D3DPRESENT_INTERVAL_FOUR:
      return 4;
    default:
      return 1;  // the default interval waits for the retrace
  }
}

}  // namespace

}  // namespace gldev

GlDevice::GlDevice(std::shared_ptr<gldev::SharedContext> shared, DisplayHost* host, HWND window,
                   const D3DPRESENT_PARAMETERS& params, const D3DDISPLAYMODE& displayMode)
    : StateKeepingDevice(params, displayMode),
      shared_(std::move(shared)),
      host_(host),
      window_(window) {
  if (!shared_->MakeCurrent()) {
    error_ = "the OpenGL context cannot be made current";
    return;
  }
  const auto w = static_cast<GLsizei>(params_.BackBufferWidth);
  const auto h = static_cast<GLsizei>(params_.BackBufferHeight);
  alphaStored_ = FormatHasAlpha(params_.BackBufferFormat);
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, gldev::ColourFormat(params_.BackBufferFormat), w, h);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  if (params_.EnableAutoDepthStencil) {
    depthHasStencil_ = params_.AutoDepthStencilFormat == D3DFMT_D24S8;
    const GLenum attachment = depthHasStencil_ ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, gldev::DepthFormat(params_.AutoDepthStencilFormat), w,
                          h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth_);
    hasDepth_ = true;
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    error_ = "the back buffer's framebuffer is incomplete";
    return;
  }
  glViewport(0, 0, w, h);
  // Start as a new Direct3D device does: a black, opaque back buffer and a
  // far depth buffer.
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | (hasDepth_ ? GL_DEPTH_BUFFER_BIT : 0u) |
          (depthHasStencil_ ? GL_STENCIL_BUFFER_BIT : 0u));

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &stream_);
  glBindBuffer(GL_ARRAY_BUFFER, stream_);
  glBufferData(GL_ARRAY_BUFFER, gldev::kStreamBytes, nullptr, GL_STREAM_DRAW);
  streamSize_ = gldev::kStreamBytes;
  glGenSamplers(D3D_MAX_TEXTURE_STAGES, samplers_);
  for (int s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
    glBindSampler(static_cast<GLuint>(s), samplers_[s]);
  // Flat shading takes the colour of a triangle's first vertex (a fan's
  // second), as in Direct3D.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);

  GlContext& c = shared_->Context();
  if (c.HasWindow()) {
    swapInterval_ = gldev::SwapInterval(params_);
    c.SetSwapInterval(swapInterval_);
  }
}

GlDevice::~GlDevice() {
  if (shared_->MakeCurrent()) {
    if (inFlight_) glDeleteSync(inFlight_);
    glDeleteSamplers(D3D_MAX_TEXTURE_STAGES, samplers_);
    glDeleteBuffers(1, &stream_);
    glDeleteVertexArrays(1, &vao_);
    glDeleteRenderbuffers(1, &colour_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    glDeleteFramebuffers(1, &fbo_);
  }
  if (host_) host_->DetachDevice();
}

bool GlDevice::Ready(std::string* error) const {
  if (error_.empty()) return true;
  if (error) *error = error_;
  return false;
}

bool GlDevice::Current() {
  if (!shared_->MakeCurrent()) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glBindVertexArray(vao_);
  return true;
}

HRESULT GlDevice::GetDeviceCaps(D3DCAPS8& caps) {
  RefDirect3D8::FillCaps(D3DDEVTYPE_HAL, caps);
  return D3D_OK;
}
