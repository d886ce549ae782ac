// The spinning cloud's frame drawn through OpenGL on whatever EGL offers
// without a window (Mesa's llvmpipe on a machine without a GPU), to measure
// the reference device against another software renderer on the same frame.
//
// It draws what the device benchmark draws: the same 3000 vertices and
// matrices, 640x480 with RGBA8 colour and 16-bit depth, cleared to opaque
// blue and depth 1, SRCALPHA/INVSRCALPHA blending, LEQUAL with writes,
// clockwise-front culling, a fresh glBufferData each frame, glFinish.
// Direct3D's conventions are kept: pixel centres on integers, clip depth
// 0..w, colours as B, G, R, A bytes.
//
//   gl_cloud [--eye Z] [--frames N] [--warmup N] [--ppm FILE]
// prints one line: eye, renderer, median, mean and minimum frame times.
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "math/matrix.h"
#include "replay/program_scenes.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
uniform mat4 transform;
uniform vec2 halfPixel;
out vec4 shade;
void main() {
  vec4 p = transform * vec4(position, 1.0);
  // Direct3D samples at integer pixel coordinates: move the picture half a
  // pixel right and down; its clip depth runs 0..w, OpenGL's -w..w.
  p.x += halfPixel.x * p.w;
  p.y -= halfPixel.y * p.w;
  p.z = 2.0 * p.z - p.w;
  gl_Position = p;
  shade = colour.bgra;
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 shade;
out vec4 result;
void main() { result = shade; }
)";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "gl_cloud: %s (EGL error 0x%x, GL error 0x%x)\n", what, eglGetError(),
               glGetError());
  std::exit(1);
}

GLuint Compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024];
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "%s\n", log);
    Fail("shader compilation failed");
  }
  return shader;
}

void MakeContext() {
  EGLDisplay display = EGL_NO_DISPLAY;
  if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
    display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
    Fail("no EGL display");
  if (!eglBindAPI(EGL_OPENGL_API)) Fail("no desktop OpenGL through EGL");
  // Drawing goes to a framebuffer object, so no configuration is needed
  // where the display allows that.
  EGLConfig config = EGL_NO_CONFIG_KHR;
  if (!epoxy_has_egl_extension(display, "EGL_KHR_no_config_context")) {
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttribs, &config, 1, &count) || count < 1)
      Fail("no EGL configuration");
  }
  const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                   3,
                                   EGL_CONTEXT_MINOR_VERSION,
                                   3,
                                   EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                   EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                   EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
  if (context == EGL_NO_CONTEXT) Fail("no OpenGL 3.3 core context");
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
    Fail("cannot make the context current without a surface");
}

void WritePpm(const char* path) {
  std::vector<std::uint8_t> rgba(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::FILE* f = std::fopen(path, "wb");
  if (!f) Fail("cannot write the picture");
  std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
  for (int y = kHeight - 1; y >= 0; --y)  // OpenGL's row 0 is the bottom one
    for (int x = 0; x < kWidth; ++x) std::fwrite(&rgba[(y * kWidth + x) * 4], 1, 3, f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  float eyeZ = -5.0f;
  int frames = 300, warmup = 30;
  const char* ppm = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--eye")
      eyeZ = std::strtof(argv[i + 1], nullptr);
    else if (opt == "--frames")
      frames = std::max(1, std::atoi(argv[i + 1]));
    else if (opt == "--warmup")
      warmup = std::max(0, std::atoi(argv[i + 1]));
    else if (opt == "--ppm")
      ppm = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: %s [--eye Z] [--frames N] [--warmup N] [--ppm FILE]\n", argv[0]);
      return 2;
    }
  }

  MakeContext();

  GLuint fbo, colour, depth;
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kWidth, kHeight);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    Fail("incomplete framebuffer");
  glViewport(0, 0, kWidth, kHeight);

  const GLuint program = glCreateProgram();
  glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
  glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
  glLinkProgram(program);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) Fail("program link failed");
  glUseProgram(program);

  // Row vectors times World * View * Projection: the row-major matrix read as
  // a column-major mat4 is its transpose, so `transform * p` is that product.
  program_scenes::CloudView view;
  view.eyeZ = eyeZ;
  const D3DMATRIX m = MatrixMultiply(MatrixMultiply(view.World(), view.View()),
                                     program_scenes::CloudView::Projection());
  glUniformMatrix4fv(glGetUniformLocation(program, "transform"), 1, GL_FALSE, &m.m[0][0]);
  glUniform2f(glGetUniformLocation(program, "halfPixel"), 1.0f / kWidth, 1.0f / kHeight);

  const std::vector<std::uint8_t> cloud = program_scenes::CloudVertices();
  GLuint vao, vbo;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  const GLsizei stride = program_scenes::kCloudStride;
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(12));
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);

  // Direct3D culls counter-clockwise triangles by default.
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  glClearDepth(1.0);
  glFinish();

  std::vector<double> times;
  times.reserve(frames);
  for (int i = 0; i < warmup + frames; ++i) {
    const auto start = std::chrono::steady_clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBufferData(GL_ARRAY_BUFFER, program_scenes::kCloudBytes, cloud.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, program_scenes::kCloudVertices);
    glDisable(GL_BLEND);
    glFinish();
    const auto end = std::chrono::steady_clock::now();
    if (i >= warmup)
      times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  if (glGetError() != GL_NO_ERROR) Fail("a GL call failed");
  if (ppm) WritePpm(ppm);

  double sum = 0;
  for (double t : times) sum += t;
  std::sort(times.begin(), times.end());
  std::printf("gl_cloud eye=%g renderer=\"%s\" frames=%d median_ms=%.4f mean_ms=%.4f min_ms=%.4f\n",
              eyeZ, reinterpret_cast<const char*>(glGetString(GL_RENDERER)), frames,
              times[times.size() / 2], sum / times.size(), times.front());
  return 0;
}
