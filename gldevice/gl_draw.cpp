// The hardware device's draws: checked by the shared rules, their vertices
// streamed or taken from a buffer, drawn with the program of their state.
#include <algorithm>

#include "d3dfront/argument_checks.h"
#include "gldevice/gl_device.h"
#include "platform/d3d8_defaults.h"

namespace gldev {

namespace {

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

}  // namespace

}  // namespace gldev

using gldev::GlVertexBuffer;

HRESULT GlDevice::DrawFromBuffer(D3DPRIMITIVETYPE type, UINT primitiveCount, GlVertexBuffer& buffer,
                                 std::uint64_t start, UINT stride) {
  return Draw(type, primitiveCount, &buffer, start, nullptr, stride);
}

HRESULT GlDevice::DrawFromMemory(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                 const std::uint8_t* data, UINT stride) {
  return Draw(type, primitiveCount, nullptr, 0, data, stride);
}

void GlDevice::SetAttributes(std::uintptr_t base, UINT stride) {
  const d3dfront::FvfLayout& layout = ff_.layout;
  const auto s = static_cast<GLsizei>(stride);
  auto at = [base](int offset) {
    return reinterpret_cast<const void*>(base + static_cast<std::uintptr_t>(offset));
  };
  glEnableVertexAttribArray(gldev::kAttrPosition);
  glVertexAttribPointer(gldev::kAttrPosition, layout.pretransformed ? 4 : 3, GL_FLOAT, GL_FALSE, s,
                        at(0));
  // A packed colour is B, G, R, A in memory.
  if (layout.diffuse >= 0) {
    glEnableVertexAttribArray(gldev::kAttrDiffuse);
    glVertexAttribPointer(gldev::kAttrDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                          at(layout.diffuse));
  } else {
    glDisableVertexAttribArray(gldev::kAttrDiffuse);
    glVertexAttrib4f(gldev::kAttrDiffuse, 1, 1, 1, 1);  // missing diffuse: opaque white
  }
  if (layout.specular >= 0) {
    glEnableVertexAttribArray(gldev::kAttrSpecular);
    glVertexAttribPointer(gldev::kAttrSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s,
                          at(layout.specular));
  } else {
    glDisableVertexAttribArray(gldev::kAttrSpecular);
    glVertexAttrib4f(gldev::kAttrSpecular, 0, 0, 0, 0);
  }
  for (int i = 0; i < 8; ++i) {
    const GLuint index = gldev::kAttrTex0 + static_cast<GLuint>(i);
    if (ff_.texSets & (1u << i)) {
      glEnableVertexAttribArray(index);
      glVertexAttribPointer(index, std::min(layout.texDims[i], 2), GL_FLOAT, GL_FALSE, s,
                            at(layout.tex[i]));
    } else {
      glDisableVertexAttribArray(index);
    }
  }
}

HRESULT GlDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, GlVertexBuffer* vb,
                       std::uint64_t start, const std::uint8_t* user, UINT stride) {
  if (!Current()) return D3DERR_DRIVERINTERNALERROR;
  d3dfront::DecodeFixedFunction(state_, ff_);
  const std::uint64_t vertices = PrimitiveVertexCount(type, primitiveCount);
  const std::uint64_t bytes = (vertices - 1) * stride + d3dfront::ReadExtent(state_, ff_.layout);
  gldev::ProgramKey key;
  BuildKey(key);
  const gldev::Program* program = programs_.Get(key, &error_);
  if (!program) return D3DERR_DRIVERINTERNALERROR;
  glUseProgram(program->id);
  ApplyUniforms(*program);
  ApplyFixedState();
  BindTextures();

  std::uintptr_t base = 0;
  if (vb) {
    vb->Upload();
    base = static_cast<std::uintptr_t>(start);
  } else {
    // Vertices from memory go into the streaming buffer; when it is full it
    // gets fresh storage rather than waiting for the draws that read it.
    glBindBuffer(GL_ARRAY_BUFFER, stream_);
    const auto size = static_cast<GLsizeiptr>(bytes);
    if (size > streamSize_) {
      streamSize_ = std::max<GLsizeiptr>(size, streamSize_ * 2);
      glBufferData(GL_ARRAY_BUFFER, streamSize_, nullptr, GL_STREAM_DRAW);
      streamOffset_ = 0;
    } else if (streamOffset_ + size > streamSize_) {
      glBufferData(GL_ARRAY_BUFFER, streamSize_, nullptr, GL_STREAM_DRAW);
      streamOffset_ = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, streamOffset_, size, user);
    base = static_cast<std::uintptr_t>(streamOffset_);
    streamOffset_ += (size + 63) & ~GLsizeiptr{63};
  }
  SetAttributes(base, stride);
  // Pre-transformed vertices are not clipped by depth in Direct3D.
  if (ff_.layout.pretransformed)
    glEnable(GL_DEPTH_CLAMP);
  else
    glDisable(GL_DEPTH_CLAMP);
  glDrawArrays(gldev::PrimitiveMode(type), 0, static_cast<GLsizei>(vertices));
  return D3D_OK;
}
