#include "refdevice/pixel/pixel_stage.h"

#include <algorithm>
#include <cmath>

#include "formats/pixel_format.h"
#include "d3dfront/fixed_function.h"

namespace refdev {

namespace {

inline int Div255(int v) {  // v / 255 rounded, for 0 <= v <= 255 * 255 * 4
  return (v + 128 + ((v + 128) >> 8)) >> 8;
}
inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int ToByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 255.0f) return 255;
  return static_cast<int>(f + 0.5f);
}

Rgba Unpack(std::uint32_t argb) {
  return Rgba{{static_cast<int>((argb >> 16) & 255u), static_cast<int>((argb >> 8) & 255u),
               static_cast<int>(argb & 255u), static_cast<int>(argb >> 24)}};
}

bool Compare(DWORD func, std::uint32_t a, std::uint32_t b) {
  switch (func) {
    case D3DCMP_NEVER:
      return false;
    case D3DCMP_LESS:
      return a < b;
    case D3DCMP_EQUAL:
      return a == b;
    case D3DCMP_LESSEQUAL:
      return a <= b;
    case D3DCMP_GREATER:
      return a > b;
    case D3DCMP_NOTEQUAL:
      return a != b;
    case D3DCMP_GREATEREQUAL:
      return a >= b;
    default:
      return true;  // ALWAYS
  }
}

// Texel index `i` (any integer, as a double) wrapped, mirrored or clamped
// into `size` texels. Returns -1 for the border.
int AddressIndex(DWORD mode, double i, int size) {
  if (!std::isfinite(i)) i = 0.0;
  const double n = size;
  switch (mode) {
    case D3DTADDRESS_MIRROR: {
      double m = i - std::floor(i / (2 * n)) * (2 * n);
      if (m >= n) m = 2 * n - 1 - m;
      return std::clamp(static_cast<int>(m), 0, size - 1);
    }
    case D3DTADDRESS_CLAMP:
      return static_cast<int>(std::clamp(i, 0.0, n - 1));
    case D3DTADDRESS_BORDER:
      return (i < 0 || i >= n) ? -1 : static_cast<int>(i);
    case D3DTADDRESS_MIRRORONCE: {
      if (i < 0) i = -1 - i;
      return static_cast<int>(std::clamp(i, 0.0, n - 1));
    }
    default: {  // wrap
      const double w = i - std::floor(i / n) * n;
      return std::clamp(static_cast<int>(w), 0, size - 1);
    }
  }
}

Rgba Texel(const StageBinding& b, const Surface& s, int x, int y) {
  if (x < 0 || y < 0) return b.border;
  return Unpack(
      DecodePixel(s.format, s.Row(y) + static_cast<std::size_t>(x) * BytesPerPixel(s.format)));
}

// One level, point or bilinear. Texel centres lie at half-integer texel
// coordinates; bilinear weights are 8-bit fractions so results are exact.
Rgba SampleLevel(const d3dfront::StageRun& st, const StageBinding& b, const Surface& s, bool linear,
                 float u, float v) {
  const double tu = static_cast<double>(u) * s.width;
  const double tv = static_cast<double>(v) * s.height;
  if (!linear)
    return Texel(b, s, AddressIndex(st.addressU, std::floor(tu), s.width),
                 AddressIndex(st.addressV, std::floor(tv), s.height));
  const double x = tu - 0.5, y = tv - 0.5;
  double x0 = std::floor(x), y0 = std::floor(y);
  int fx = std::isfinite(x) ? static_cast<int>((x - x0) * 256.0) : 0;
  int fy = std::isfinite(y) ? static_cast<int>((y - y0) * 256.0) : 0;
  fx = std::clamp(fx, 0, 256);
  fy = std::clamp(fy, 0, 256);
  const int xa = AddressIndex(st.addressU, x0, s.width);
  const int xb = AddressIndex(st.addressU, x0 + 1, s.width);
  const int ya = AddressIndex(st.addressV, y0, s.height);
  const int yb = AddressIndex(st.addressV, y0 + 1, s.height);
  const Rgba t00 = Texel(b, s, xa, ya), t10 = Texel(b, s, xb, ya);
  const Rgba t01 = Texel(b, s, xa, yb), t11 = Texel(b, s, xb, yb);
  Rgba out;
  for (int c = 0; c < 4; ++c) {
    const int top = t00.c[c] * (256 - fx) + t10.c[c] * fx;
    const int bottom = t01.c[c] * (256 - fx) + t11.c[c] * fx;
    out.c[c] = (top * (256 - fy) + bottom * fy + 32768) >> 16;
  }
  return out;
}

Rgba Sample(const d3dfront::StageRun& st, const StageBinding& b, const float* attr) {
  const float u = b.texAttr >= 0 ? attr[b.texAttr] : 0.0f;
  const float v = b.texAttr >= 0 ? attr[b.texAttr + 1] : 0.0f;
  const int levels = static_cast<int>(b.texture->GetLevelCount());
  const int base = std::min(static_cast<int>(st.maxMipLevel), levels - 1);
  const Surface& top = b.texture->Level(static_cast<UINT>(base));
  if (!st.needLod) return SampleLevel(st, b, top, st.magLinear, u, v);

  // Level of detail from the screen derivatives of the coordinates, in
  // texels of the largest level in use.
  float lod = -1.0f;
  if (b.texAttr >= 0) {
    const float* d = attr + DerivativeSlot(b.texAttr);
    const double w = top.width, h = top.height;
    const double rx = std::hypot(d[0] * w, d[2] * h);  // du/dx, dv/dx
    const double ry = std::hypot(d[1] * w, d[3] * h);  // du/dy, dv/dy
    const double rho = std::max(rx, ry);
    if (rho > 0.0 && std::isfinite(rho)) lod = static_cast<float>(std::log2(rho)) + st.lodBias;
  }
  const bool minify = lod > 0.0f;
  const bool linear = minify ? st.minLinear : st.magLinear;
  if (!minify || st.mipFilter == D3DTEXF_NONE) return SampleLevel(st, b, top, linear, u, v);
  const int last = levels - 1 - base;
  if (st.mipFilter == D3DTEXF_POINT) {
    const int level = std::min(last, static_cast<int>(std::floor(lod + 0.5f)));
    return SampleLevel(st, b, b.texture->Level(static_cast<UINT>(base + level)), linear, u, v);
  }
  // Linear between the two nearest levels.
  const int l0 = std::min(last, static_cast<int>(std::floor(lod)));
  const int l1 = std::min(last, l0 + 1);
  const int f = std::clamp(static_cast<int>((lod - std::floor(lod)) * 256.0f), 0, 256);
  const Rgba fine =
      SampleLevel(st, b, b.texture->Level(static_cast<UINT>(base + l0)), linear, u, v);
  const Rgba coarse =
      SampleLevel(st, b, b.texture->Level(static_cast<UINT>(base + l1)), linear, u, v);
  Rgba out;
  for (int c = 0; c < 4; ++c) out.c[c] = (fine.c[c] * (256 - f) + coarse.c[c] * f + 128) >> 8;
  return out;
}

struct StageInputs {
  const Rgba* diffuse;
  const Rgba* specular;
  const Rgba* current;
  const Rgba* temp;
  const Rgba* texture;  // null: no texture on this stage
  const Rgba* tfactor;
};

// Argument `arg`; false when it reads a texture the stage does not have.
bool Argument(DWORD arg, const StageInputs& in, Rgba& out) {
  const Rgba* src = nullptr;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      src = in.diffuse;
      break;
    case D3DTA_CURRENT:
      src = in.current;
      break;
    case D3DTA_TEXTURE:
      src = in.texture;
      break;
    case D3DTA_TFACTOR:
      src = in.tfactor;
      break;
    case D3DTA_SPECULAR:
      src = in.specular;
      break;
    case D3DTA_TEMP:
      src = in.temp;
      break;
    default:
      src = in.current;
      break;
  }
  if (src == nullptr) return false;
  out = *src;
  if (arg & D3DTA_ALPHAREPLICATE) out.c[0] = out.c[1] = out.c[2] = out.c[3];
  if (arg & D3DTA_COMPLEMENT)
    for (int& c : out.c) c = 255 - c;
  return true;
}

// How many arguments op `op` reads: 1 (arg1), 2 (arg1, arg2) or 3 (all).
int ArgumentCount(DWORD op) {
  switch (op) {
    case D3DTOP_SELECTARG1:
      return 1;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP:
      return 3;
    default:
      return 2;
  }
}

// Reads the arguments op `op` combines; false when one of them cannot be
// read, and the op then leaves the channels as they were.
bool ReadArguments(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2, const StageInputs& in, Rgba& a0,
                   Rgba& a1, Rgba& a2) {
  const int n = ArgumentCount(op);
  bool ok = Argument(arg1, in, a1);
  if (n != 1) ok = Argument(arg2, in, a2) && ok;
  if (n == 3) ok = Argument(arg0, in, a0) && ok;
  return ok;
}

// One channel of op `op` (for channels 0..2 colour, 3 alpha).
int Combine(DWORD op, int ch, const Rgba& a0, const Rgba& a1, const Rgba& a2,
            const StageInputs& in) {
  const int x = a1.c[ch], y = a2.c[ch];
  switch (op) {
    case D3DTOP_SELECTARG1:
      return x;
    case D3DTOP_SELECTARG2:
      return y;
    case D3DTOP_MODULATE:
      return Div255(x * y);
    case D3DTOP_MODULATE2X:
      return Clamp255(2 * Div255(x * y));
    case D3DTOP_MODULATE4X:
      return Clamp255(4 * Div255(x * y));
    case D3DTOP_ADD:
      return Clamp255(x + y);
    case D3DTOP_ADDSIGNED:
      return Clamp255(x + y - 128);
    case D3DTOP_ADDSIGNED2X:
      return Clamp255(2 * (x + y - 128));
    case D3DTOP_SUBTRACT:
      return Clamp255(x - y);
    case D3DTOP_ADDSMOOTH:
      return Clamp255(x + y - Div255(x * y));
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: {
      const Rgba* src = op == D3DTOP_BLENDDIFFUSEALPHA   ? in.diffuse
                        : op == D3DTOP_BLENDTEXTUREALPHA ? in.texture
                        : op == D3DTOP_BLENDFACTORALPHA  ? in.tfactor
                                                         : in.current;
      const int al = src ? src->c[3] : 255;
      return Div255(x * al + y * (255 - al));
    }
    case D3DTOP_BLENDTEXTUREALPHAPM: {
      const int al = in.texture ? in.texture->c[3] : 255;
      return Clamp255(x + Div255(y * (255 - al)));
    }
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
      return ch == 3 ? x : Clamp255(x + Div255(a1.c[3] * y));
    case D3DTOP_MODULATECOLOR_ADDALPHA:
      return ch == 3 ? x : Clamp255(Div255(x * y) + a1.c[3]);
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
      return ch == 3 ? x : Clamp255(x + Div255((255 - a1.c[3]) * y));
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
      return ch == 3 ? x : Clamp255(Div255((255 - x) * y) + a1.c[3]);
    case D3DTOP_DOTPRODUCT3: {
      int dot = 0;
      for (int k = 0; k < 3; ++k) dot += (a1.c[k] - 128) * (a2.c[k] - 128);
      return Clamp255((4 * dot + 127) / 255);
    }
    case D3DTOP_MULTIPLYADD:
      return Clamp255(a0.c[ch] + Div255(x * y));
    case D3DTOP_LERP:
      return Div255(a0.c[ch] * x + (255 - a0.c[ch]) * y);
    default:
      return x;  // operations not offered select the first argument
  }
}

int BlendFactor(DWORD f, int ch, const Rgba& src, const Rgba& dst) {
  switch (f) {
    case D3DBLEND_ZERO:
      return 0;
    case D3DBLEND_ONE:
      return 255;
    case D3DBLEND_SRCCOLOR:
      return src.c[ch];
    case D3DBLEND_INVSRCCOLOR:
      return 255 - src.c[ch];
    case D3DBLEND_SRCALPHA:
      return src.c[3];
    case D3DBLEND_INVSRCALPHA:
      return 255 - src.c[3];
    case D3DBLEND_DESTALPHA:
      return dst.c[3];
    case D3DBLEND_INVDESTALPHA:
      return 255 - dst.c[3];
    case D3DBLEND_DESTCOLOR:
      return dst.c[ch];
    case D3DBLEND_INVDESTCOLOR:
      return 255 - dst.c[ch];
    case D3DBLEND_SRCALPHASAT:
      return ch == 3 ? 255 : std::min(src.c[3], 255 - dst.c[3]);
    default:
      return 255;
  }
}

}  // namespace

namespace {

inline std::uint32_t StoredDepth(const PixelContext& ctx, std::size_t index) {
  return ctx.depth->d16.empty() ? ctx.depth->d32[index] : ctx.depth->d16[index];
}

// Only the write-mask bits of the stored value change.
void ApplyStencilOp(const PixelContext& ctx, DWORD op, std::uint8_t& stored) {
  std::uint32_t v = stored;
  switch (op) {
    case D3DSTENCILOP_ZERO:
      v = 0;
      break;
    case D3DSTENCILOP_REPLACE:
      v = ctx.ff.stencil.ref;
      break;
    case D3DSTENCILOP_INCRSAT:
      v = v < 255 ? v + 1 : 255;
      break;
    case D3DSTENCILOP_DECRSAT:
      v = v > 0 ? v - 1 : 0;
      break;
    case D3DSTENCILOP_INVERT:
      v = ~v;
      break;
    case D3DSTENCILOP_INCR:
      v = v + 1;
      break;
    case D3DSTENCILOP_DECR:
      v = v - 1;
      break;
    default:  // D3DSTENCILOP_KEEP
      return;
  }
  const std::uint32_t mask = ctx.ff.stencil.writeMask & 0xFFu;
  stored = static_cast<std::uint8_t>((stored & ~mask) | (v & mask));
}

}  // namespace

std::uint32_t QuantizeDepth(double scale, float z) {
  const float zc = z > 0.0f ? (z < 1.0f ? z : 1.0f) : 0.0f;  // NaN -> 0
  // Exact for 16 and 24 bits: the product fits a double's mantissa.
  return static_cast<std::uint32_t>(static_cast<double>(zc) * scale + 0.5);
}

void ShadeTrianglePixel(const DrawDescription& d, const SetupTriangle& t, int x, int y,
                        float* scratch) {
  const float dx = static_cast<float>(x) - t.refX;
  const float dy = static_cast<float>(y) - t.refY;
  const float z = PlaneAt(t.z, dx, dy);
  const PixelContext& px = d.pixel;
  if (DepthRejects(px, x, y, z)) return;
  const float rhw = PlaneAt(t.rhw, dx, dy);
  const float inv = rhw > 0.0f ? 1.0f / rhw : 0.0f;
  for (int j = 0; j < d.interpCount; ++j) {
    const float a = PlaneAt(t.attr[j], dx, dy);
    scratch[d.interp[j]] = d.perspective[j] ? a * inv : a;
  }
  if (px.needDerivatives) {
    // u = A / W with A and W linear on the screen: du = (dA - u dW) / W.
    for (int j = 0; j < d.interpCount; ++j) {
      const int k = d.interp[j];
      if (k < kTex0) continue;
      scratch[DerivativeSlot(k)] = (t.attr[j].ddx - scratch[k] * t.rhw.ddx) * inv;
      scratch[DerivativeSlot(k) + 1] = (t.attr[j].ddy - scratch[k] * t.rhw.ddy) * inv;
    }
  }
  ShadePixel(px, x, y, z, scratch);
}

void ShadeVertexPixel(const DrawDescription& d, const ScreenVertex* v, const float* w, int n,
                      const float* flat, int x, int y, float* scratch) {
  const PixelContext& px = d.pixel;
  float z = 0.0f;
  for (int i = 0; i < n; ++i) z += w[i] * v[i].z;
  if (DepthRejects(px, x, y, z)) return;
  float rhw = 0.0f;
  for (int i = 0; i < n; ++i) rhw += w[i] * v[i].rhw;
  const float inv = rhw > 0.0f ? 1.0f / rhw : 0.0f;
  for (int j = 0; j < d.interpCount; ++j) {
    const int k = d.interp[j];
    float s = 0.0f;
    for (int i = 0; i < n; ++i) s += w[i] * v[i].attr[k];
    scratch[k] = s * inv;
  }
  // Lines and points have no extent across the screen to take derivatives on.
  if (px.needDerivatives)
    for (int k = kTex0; k < d.attrCount; ++k)
      scratch[DerivativeSlot(k)] = scratch[DerivativeSlot(k) + 1] = 0.0f;
  if (flat != nullptr && px.ff.flat)
    for (int k = 0; k < 8; ++k) scratch[kDiffR + k] = flat[k];
  ShadePixel(px, x, y, z, scratch);
}

bool DepthRejects(const PixelContext& ctx, int x, int y, float z) {
  if (!ctx.earlyDepth) return false;
  const std::size_t index =
      static_cast<std::size_t>(y) * static_cast<std::size_t>(ctx.depth->width) +
      static_cast<std::size_t>(x);
  return !Compare(ctx.ff.depthFunc, QuantizeDepth(ctx.depthScale, z), StoredDepth(ctx, index));
}

namespace {

// The texture stages, from the diffuse colour on: the colour they leave in
// the current register.
Rgba RunTextureStages(const PixelContext& ctx, const float* attr, const Rgba& diffuse,
                      const Rgba& specular) {
  Rgba current = diffuse;
  Rgba temp{{0, 0, 0, 0}};
  for (int s = 0; s < ctx.ff.stageCount; ++s) {
    const d3dfront::StageRun& st = ctx.ff.stages[s];
    const StageBinding& b = ctx.bound[s];
    Rgba texel;
    const bool hasTexture = b.texture != nullptr;
    if (hasTexture) texel = Sample(st, b, attr);
    const StageInputs in{&diffuse,    &specular, &current, &temp, hasTexture ? &texel : nullptr,
                         &ctx.tfactor};
    Rgba result = current;
    // Colour.
    {
      Rgba a0{}, a1{}, a2{};
      if (ReadArguments(st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2, in, a0, a1, a2))
        for (int c = 0; c < 3; ++c) result.c[c] = Combine(st.colorOp, c, a0, a1, a2, in);
    }
    // Alpha.
    if (st.alphaOp != D3DTOP_DISABLE) {
      Rgba a0{}, a1{}, a2{};
      if (ReadArguments(st.alphaOp, st.alphaArg0, st.alphaArg1, st.alphaArg2, in, a0, a1, a2))
        result.c[3] = Combine(st.alphaOp, 3, a0, a1, a2, in);
    }
    if (st.resultTemp)
      temp = result;
    else
      current = result;
  }
  return current;
}

void ApplyFog(const PixelContext& ctx, const float* attr, Rgba& current) {
  float f;
  const d3dfront::FixedFunction& ff = ctx.ff;
  if (ff.fog == d3dfront::FogSource::Table)
    f = d3dfront::FogFactor(static_cast<int>(ff.fogTableMode), attr[kFogDepth], ff.fogStart,
                            ff.fogEnd, ff.fogDensity);
  else
    f = attr[kSpecA] / 255.0f;
  if (!(f >= 0.0f)) f = 0.0f;
  if (f > 1.0f) f = 1.0f;
  const int fi = static_cast<int>(f * 255.0f + 0.5f);
  for (int c = 0; c < 3; ++c)
    current.c[c] = Div255(current.c[c] * fi + ctx.fogColour[c] * (255 - fi));
}

// The stencil and depth tests with their writes; false when the pixel is
// discarded.
bool StencilAndDepthPass(const PixelContext& ctx, int x, int y, float z) {
  const d3dfront::FixedFunction& ff = ctx.ff;
  std::uint32_t depthValue = 0;
  if (ff.depthTest) depthValue = QuantizeDepth(ctx.depthScale, z);
  const std::size_t index =
      static_cast<std::size_t>(y) * static_cast<std::size_t>(ctx.depth ? ctx.depth->width : 0) +
      static_cast<std::size_t>(x);
  if (ff.stencil.enabled) {
    std::uint8_t& stored = ctx.depth->stencil[index];
    if (!Compare(ff.stencil.func, ff.stencil.ref & ff.stencil.mask, stored & ff.stencil.mask)) {
      ApplyStencilOp(ctx, ff.stencil.fail, stored);
      return false;
    }
    if (ff.depthTest && !Compare(ff.depthFunc, depthValue, StoredDepth(ctx, index))) {
      ApplyStencilOp(ctx, ff.stencil.zFail, stored);
      return false;
    }
    ApplyStencilOp(ctx, ff.stencil.pass, stored);
  }
  if (ff.depthTest) {
    DepthBuffer& d = *ctx.depth;
    // An early test has passed the pixel already, and nothing since has
    // written its depth.
    if (!d.d16.empty()) {
      if (!ctx.earlyDepth && !Compare(ff.depthFunc, depthValue, d.d16[index])) return false;
      if (ff.depthWrite) d.d16[index] = static_cast<std::uint16_t>(depthValue);
    } else {
      if (!ctx.earlyDepth && !Compare(ff.depthFunc, depthValue, d.d32[index])) return false;
      if (ff.depthWrite) d.d32[index] = depthValue;
    }
  }
  return true;
}

Rgba Blend(const PixelContext& ctx, const Rgba& current, const Rgba& dst) {
  Rgba out;
  for (int c = 0; c < 4; ++c) {
    // Each product is rounded to 8 bits on its own before they are combined.
    const int s = BlendProduct(current.c[c] * BlendFactor(ctx.ff.srcBlend, c, current, dst));
    const int d = BlendProduct(dst.c[c] * BlendFactor(ctx.ff.destBlend, c, current, dst));
    int v;
    switch (ctx.ff.blendOp) {
      case D3DBLENDOP_SUBTRACT:
        v = s - d;
        break;
      case D3DBLENDOP_REVSUBTRACT:
        v = d - s;
        break;
      case D3DBLENDOP_MIN:
        v = std::min(current.c[c], dst.c[c]);
        break;
      case D3DBLENDOP_MAX:
        v = std::max(current.c[c], dst.c[c]);
        break;
      default:
        v = s + d;
        break;
    }
    out.c[c] = Clamp255(v);
  }
  return out;
}

// Blends `current` over the target's pixel (x, y) and writes the channels
// the mask lets through.
void WriteTarget(const PixelContext& ctx, int x, int y, const Rgba& current) {
  std::uint8_t* p = ctx.target->Row(y) + static_cast<std::size_t>(x) * ctx.bpp;
  Rgba out = current;
  Rgba dst{};
  const bool needDest = ctx.ff.blend || ctx.ff.writeMask != 0xF;
  if (needDest) dst = Unpack(DecodePixel(ctx.target->format, p));
  if (ctx.ff.blend) out = Blend(ctx, current, dst);
  if (ctx.ff.writeMask != 0xF) {
    // Bits: 1 red, 2 green, 4 blue, 8 alpha.
    static constexpr int kBit[4] = {1, 2, 4, 8};
    for (int c = 0; c < 4; ++c)
      if (!(ctx.ff.writeMask & kBit[c])) out.c[c] = dst.c[c];
  }
  const std::uint32_t argb =
      (static_cast<std::uint32_t>(out.c[3]) << 24) | (static_cast<std::uint32_t>(out.c[0]) << 16) |
      (static_cast<std::uint32_t>(out.c[1]) << 8) | static_cast<std::uint32_t>(out.c[2]);
  EncodePixel(ctx.target->format, argb, p);
}

}  // namespace

void ShadePixel(const PixelContext& ctx, int x, int y, float z, const float* attr) {
  Rgba diffuse, specular;
  for (int c = 0; c < 4; ++c) {
    diffuse.c[c] = ToByte(attr[kDiffR + c]);
    specular.c[c] = ToByte(attr[kSpecR + c]);
  }
  Rgba current = RunTextureStages(ctx, attr, diffuse, specular);
  const d3dfront::FixedFunction& ff = ctx.ff;
  if (ff.specularAdd)
    for (int c = 0; c < 3; ++c) current.c[c] = Clamp255(current.c[c] + specular.c[c]);
  if (ff.fog != d3dfront::FogSource::Off) ApplyFog(ctx, attr, current);
  if (ff.alphaTest && !Compare(ff.alphaFunc, static_cast<std::uint32_t>(current.c[3]),
                               static_cast<std::uint32_t>(ff.alphaRef)))
    return;
  if (!StencilAndDepthPass(ctx, x, y, z)) return;
  WriteTarget(ctx, x, y, current);
}

}  // namespace refdev
