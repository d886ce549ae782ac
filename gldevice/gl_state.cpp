// The hardware device's state for a draw: the decoded fixed-function state
// mapped to a program key, OpenGL's fixed state, uniforms and samplers.
#include "gldevice/gl_state.h"

#include "gldevice/gl_device.h"
#include "platform/d3dx8_math.h"

namespace gldev {

namespace {

GLenum CompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO:
      return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
      return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
      return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
      return GL_DECR;
    case D3DSTENCILOP_INVERT:
      return GL_INVERT;
    case D3DSTENCILOP_INCR:
      return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

GLint AddressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
      return epoxy_gl_version() >= 44 ||
                     epoxy_has_gl_extension("GL_ARB_texture_mirror_clamp_to_edge")
                 ? GL_MIRROR_CLAMP_TO_EDGE
                 : GL_CLAMP_TO_EDGE;
    default:
      return GL_REPEAT;
  }
}

}  // namespace

// A packed colour's channels as OpenGL takes them, 0 to 1.
void Unpack(D3DCOLOR argb, float out[4]) {
  const d3dfront::Channels c = d3dfront::Unpack(argb);
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<float>(c[i]) / 255.0f;
}

}  // namespace gldev

using gldev::GlTexture;

void GlDevice::BuildKey(gldev::ProgramKey& k) const {
  const d3dfront::FixedFunction& ff = ff_;
  std::memset(&k, 0, sizeof k);
  k.pretransformed = ff.layout.pretransformed;
  k.hasDiffuse = ff.layout.diffuse >= 0;
  k.hasSpecular = ff.layout.specular >= 0;
  k.flat = ff.flat;
  k.fogDepth = ff.fogDepth;
  if (ff.lighting) {
    k.lighting = 1;
    k.diffuseSource = ff.diffuseSource;
    k.specularSource = ff.specularSource;
    k.ambientSource = ff.ambientSource;
    k.emissiveSource = ff.emissiveSource;
  }
  k.vertexFogMode = static_cast<std::uint8_t>(ff.vertexFogMode);
  k.fog = ff.fog;
  k.fogTableMode = static_cast<std::uint8_t>(ff.fogTableMode);
  k.specularAdd = ff.specularAdd;
  if (ff.alphaTest) k.alphaFunc = static_cast<std::uint8_t>(ff.alphaFunc);
  k.stageCount = static_cast<std::uint8_t>(ff.stageCount);
  k.texSets = static_cast<std::uint8_t>(ff.texSets);
  for (int s = 0; s < ff.stageCount; ++s) {
    const d3dfront::StageRun& run = ff.stages[s];
    gldev::StageKey& st = k.stages[s];
    st.colorOp = static_cast<std::uint8_t>(run.colorOp);
    st.colorArg0 = static_cast<std::uint8_t>(run.colorArg0);
    st.colorArg1 = static_cast<std::uint8_t>(run.colorArg1);
    st.colorArg2 = static_cast<std::uint8_t>(run.colorArg2);
    st.alphaOp = static_cast<std::uint8_t>(run.alphaOp);
    st.alphaArg0 = static_cast<std::uint8_t>(run.alphaArg0);
    st.alphaArg1 = static_cast<std::uint8_t>(run.alphaArg1);
    st.alphaArg2 = static_cast<std::uint8_t>(run.alphaArg2);
    st.colorRuns = run.colorRuns;
    st.alphaRuns = run.alphaRuns;
    st.resultTemp = run.resultTemp;
    st.hasTexture = run.textured;
    st.texSet = run.texSet >= 0 ? static_cast<std::uint8_t>(run.texSet) : gldev::kNoTexSet;
  }
}

void GlDevice::ApplyFixedState() {
  const d3dfront::FixedFunction& ff = ff_;
  if (ff.depthTest) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(gldev::CompareFunc(ff.depthFunc));
    glDepthMask(ff.depthWrite ? GL_TRUE : GL_FALSE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  if (ff.stencil.enabled) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(gldev::CompareFunc(ff.stencil.func), static_cast<GLint>(ff.stencil.ref),
                  ff.stencil.mask);
    glStencilMask(ff.stencil.writeMask & 0xFFu);
    glStencilOp(gldev::StencilOp(ff.stencil.fail), gldev::StencilOp(ff.stencil.zFail),
                gldev::StencilOp(ff.stencil.pass));
  } else {
    glDisable(GL_STENCIL_TEST);
  }
  if (ff.blend) {
    glEnable(GL_BLEND);
    glBlendFunc(gldev::BlendFactor(ff.srcBlend), gldev::BlendFactor(ff.destBlend));
    glBlendEquation(gldev::BlendEquation(ff.blendOp));
  } else {
    glDisable(GL_BLEND);
  }
  const DWORD mask = ff.writeMask;
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, alphaStored_ && (mask & 8) != 0);
  // Rows run downwards in the back buffer, which mirrors the winding: a
  // triangle clockwise on the screen is counter-clockwise to OpenGL.
  switch (ff.cull) {
    case D3DCULL_CCW:
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CCW);
      glCullFace(GL_BACK);
      break;
    case D3DCULL_CW:
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CCW);
      glCullFace(GL_FRONT);
      break;
    default:
      glDisable(GL_CULL_FACE);
      break;
  }
  switch (ff.fill) {
    case D3DFILL_POINT:
      glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
      break;
    case D3DFILL_WIREFRAME:
      glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      break;
    default:
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      break;
  }
}

void GlDevice::ApplyUniforms(const gldev::Program& p) {
  const d3dfront::FixedFunction& ff = ff_;
  D3DMATRIX wv{}, wvp{};
  D3DXMatrixMultiply(wv, state_.world, state_.view);
  D3DXMatrixMultiply(wvp, wv, state_.proj);
  // Row-major rows read as GLSL columns: uWvp * p is p * World * View * Proj.
  glUniformMatrix4fv(p.wvp, 1, GL_FALSE, &wvp.m[0][0]);
  const D3DVIEWPORT8& vp = state_.viewport;
  const auto W = static_cast<float>(params_.BackBufferWidth);
  const auto H = static_cast<float>(params_.BackBufferHeight);
  constexpr float kShift = d3dfront::kPixelCentreShift;
  glUniform4f(p.viewport, (static_cast<float>(vp.X) + kShift) * 2.0f / W - 1.0f,
              static_cast<float>(vp.Width) / W,
              (static_cast<float>(vp.Y) + kShift) * 2.0f / H - 1.0f,
              static_cast<float>(vp.Height) / H);
  glUniform2f(p.depthRange, vp.MinZ, vp.MaxZ - vp.MinZ);
  glUniform2f(p.target, 2.0f / W, 2.0f / H);
  glUniform4f(p.fog, ff.fogStart, ff.fogEnd, ff.fogDensity, 0.0f);
  float c[4];
  gldev::Unpack(ff.fogColour, c);
  glUniform3f(p.fogColour, c[0], c[1], c[2]);
  gldev::Unpack(ff.textureFactor, c);
  glUniform4f(p.tfactor, c[0], c[1], c[2], c[3]);
  gldev::Unpack(ff.ambient, c);
  glUniform3f(p.ambient, c[0], c[1], c[2]);
  glUniform1f(p.alphaRef, static_cast<float>(ff.alphaRef));
}

void GlDevice::BindTextures() {
  for (int s = 0; s < ff_.stageCount; ++s) {
    GlTexture* t = bound_[static_cast<std::size_t>(s)];
    if (!t) continue;
    const d3dfront::StageRun& run = ff_.stages[s];
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
    t->Bind(scratch_, static_cast<GLint>(run.maxMipLevel));
    GLint minFilter = run.minLinear ? GL_LINEAR : GL_NEAREST;
    if (run.mipFilter == D3DTEXF_POINT)
      minFilter = run.minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (run.mipFilter == D3DTEXF_LINEAR)
      minFilter = run.minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    gldev::SamplerState want{gldev::AddressMode(run.addressU),
                             gldev::AddressMode(run.addressV),
                             minFilter,
                             run.magLinear ? GL_LINEAR : GL_NEAREST,
                             run.lodBias,
                             run.border};
    gldev::SamplerState& have = samplerState_[s];
    const GLuint sampler = samplers_[s];
    if (want.wrapS != have.wrapS) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, want.wrapS);
    if (want.wrapT != have.wrapT) glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, want.wrapT);
    if (want.minFilter != have.minFilter)
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, want.minFilter);
    if (want.magFilter != have.magFilter)
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, want.magFilter);
    if (want.lodBias != have.lodBias)
      glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, want.lodBias);
    if (want.border != have.border || have.wrapS == 0) {
      float c[4];
      gldev::Unpack(want.border, c);
      glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, c);
    }
    have = want;
  }
}
