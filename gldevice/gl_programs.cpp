#include "gldevice/gl_programs.h"

#include <string>

namespace gldev {

namespace {

// Colours are interpolated with perspective, as every other attribute;
// flat shading takes the first vertex (see glProvokingVertex).
const char* ColourQualifier(const ProgramKey& k) { return k.flat ? "flat" : "smooth"; }

std::string Declarations(const ProgramKey& k, const char* direction) {
  std::string s;
  s += std::string(ColourQualifier(k)) + " " + direction + " vec4 vDiffuse;\n";
  s += std::string(ColourQualifier(k)) + " " + direction + " vec4 vSpecular;\n";
  s += std::string(direction) + " float vFogDepth;\n";
  for (int i = 0; i < 8; ++i)
    if (k.texSets & (1u << i))
      s += std::string(direction) + " vec2 vTex" + std::to_string(i) + ";\n";
  return s;
}

std::string Source(std::uint8_t source) {
  switch (source) {
    case kSourceDiffuse:
      return "diffuse";
    case kSourceSpecular:
      return "specular";
    default:
      return "vec4(0.0)";
  }
}

std::string FogFormula(int mode, const std::string& d) {
  switch (mode) {
    case D3DFOG_LINEAR:
      return "(uFog.y == uFog.x ? (" + d + " < uFog.x ? 1.0 : 0.0) : (uFog.y - " + d +
             ") / (uFog.y - uFog.x))";
    case D3DFOG_EXP:
      return "exp(-uFog.z * " + d + ")";
    case D3DFOG_EXP2:
      return "exp(-(uFog.z * " + d + ") * (uFog.z * " + d + "))";
    default:
      return "1.0";
  }
}

const char kCombine[] = R"(
const float kHalf = 128.0 / 255.0;
// One texture-stage operation on arguments x (arg1), y (arg2), z (arg0).
vec4 combine(int op, vec4 x, vec4 y, vec4 z, float diffA, float texA, float factorA,
             float curA) {
  switch (op) {
    case 2: return x;
    case 3: return y;
    case 4: return x * y;
    case 5: return clamp(2.0 * x * y, 0.0, 1.0);
    case 6: return clamp(4.0 * x * y, 0.0, 1.0);
    case 7: return clamp(x + y, 0.0, 1.0);
    case 8: return clamp(x + y - kHalf, 0.0, 1.0);
    case 9: return clamp(2.0 * (x + y - kHalf), 0.0, 1.0);
    case 10: return clamp(x - y, 0.0, 1.0);
    case 11: return clamp(x + y - x * y, 0.0, 1.0);
    case 12: return mix(y, x, diffA);
    case 13: return mix(y, x, texA);
    case 14: return mix(y, x, factorA);
    case 15: return clamp(x + y * (1.0 - texA), 0.0, 1.0);
    case 16: return mix(y, x, curA);
    case 18: return vec4(clamp(x.rgb + x.a * y.rgb, 0.0, 1.0), x.a);
    case 19: return vec4(clamp(x.rgb * y.rgb + x.a, 0.0, 1.0), x.a);
    case 20: return vec4(clamp(x.rgb + (1.0 - x.a) * y.rgb, 0.0, 1.0), x.a);
    case 21: return vec4(clamp((1.0 - x.rgb) * y.rgb + x.a, 0.0, 1.0), x.a);
    case 24: return vec4(clamp(4.0 * dot(x.rgb - kHalf, y.rgb - kHalf), 0.0, 1.0));
    case 25: return clamp(z + x * y, 0.0, 1.0);
    case 26: return z * x + (1.0 - z) * y;
    default: return x;
  }
}
)";

bool ReadsTexture(DWORD op, std::uint8_t a0, std::uint8_t a1, std::uint8_t a2) {
  auto reads = [](std::uint8_t a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
  if (reads(a1)) return true;
  if (op != D3DTOP_SELECTARG1 && reads(a2)) return true;
  if ((op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP) && reads(a0)) return true;
  return false;
}

std::string Argument(std::uint8_t arg, int stage) {
  std::string v;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      v = "diffuse";
      break;
    case D3DTA_TEXTURE:
      v = "tex" + std::to_string(stage);
      break;
    case D3DTA_TFACTOR:
      v = "uTFactor";
      break;
    case D3DTA_SPECULAR:
      v = "specular";
      break;
    case D3DTA_TEMP:
      v = "temp";
      break;
    default:
      v = "current";
      break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) v = "vec4(" + v + ".a)";
  if (arg & D3DTA_COMPLEMENT) v = "(1.0 - " + v + ")";
  return v;
}

std::string Compare(int func, const std::string& a, const std::string& b) {
  switch (func) {
    case D3DCMP_NEVER:
      return "false";
    case D3DCMP_LESS:
      return a + " < " + b;
    case D3DCMP_EQUAL:
      return a + " == " + b;
    case D3DCMP_LESSEQUAL:
      return a + " <= " + b;
    case D3DCMP_GREATER:
      return a + " > " + b;
    case D3DCMP_NOTEQUAL:
      return a + " != " + b;
    case D3DCMP_GREATEREQUAL:
      return a + " >= " + b;
    default:
      return "true";
  }
}

GLuint Compile(GLenum type, const std::string& source, std::string* error) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    if (error) *error = std::string("shader does not compile: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

std::string VertexShaderSource(const ProgramKey& k) {
  std::string s = "#version 330 core\n";
  s += "layout(location = 0) in vec4 aPosition;\n";
  s += "layout(location = 1) in vec4 aDiffuse;\n";
  s += "layout(location = 2) in vec4 aSpecular;\n";
  for (int i = 0; i < 8; ++i)
    if (k.texSets & (1u << i))
      s += "layout(location = " + std::to_string(kAttrTex0 + i) + ") in vec2 aTex" +
           std::to_string(i) + ";\n";
  s += "uniform mat4 uWvp;\nuniform vec4 uViewport;\nuniform vec2 uDepthRange;\n";
  s += "uniform vec2 uTarget;\nuniform vec4 uFog;\nuniform vec3 uAmbient;\n";
  s += Declarations(k, "out");
  // Screen positions given by the program are snapped to 1/256 pixel as the
  // reference device snaps them (halves go left and down), so that the
  // rasterizer's own rounding meets exact steps only and ties in coverage
  // fall alike; such positions often lie on exact fractions. Projected
  // positions are left alone: they hardly ever meet a tie, and moving them
  // would move the depth planes the two devices otherwise share.
  s += "vec2 snap(vec2 p) {\n";
  s += "  return vec2(ceil(p.x * 256.0 - 0.5), floor(p.y * 256.0 + 0.5)) / 256.0;\n}\n";
  s += "void main() {\n";
  s += "  vec4 diffuse = aDiffuse;\n  vec4 specular = aSpecular;\n";
  if (k.pretransformed) {
    // Screen pixels, y down; pixel centres at integers, so half a pixel on.
    s += "  float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;\n";
    s += "  vec2 ndc = (snap(aPosition.xy) + 0.5) * uTarget - 1.0;\n";
    s += "  gl_Position = vec4(ndc * w, (2.0 * aPosition.z - 1.0) * w, w);\n";
    s += k.perspective ? "  vFogDepth = aPosition.w > 0.0 ? 1.0 / aPosition.w : aPosition.z;\n"
                       : "  vFogDepth = aPosition.z;\n";
  } else {
    // Row vectors times the Direct3D matrix; clip z runs 0..w. The viewport
    // maps x and y straight to rows from the top, half a pixel on.
    s += "  vec4 c = uWvp * vec4(aPosition.xyz, 1.0);\n";
    s += "  gl_Position = vec4(uViewport.x * c.w + (c.w + c.x) * uViewport.y,\n";
    s += "                     uViewport.z * c.w + (c.w - c.y) * uViewport.w,\n";
    s += "                     2.0 * (uDepthRange.x * c.w + c.z * uDepthRange.y) - c.w, c.w);\n";
    s += k.perspective ? "  vFogDepth = c.w;\n" : "  vFogDepth = c.w != 0.0 ? c.z / c.w : 0.0;\n";
  }
  if (k.lighting) {
    // No lights and an all-zero material: only emissive and ambient terms
    // reach the colour; alpha comes from the diffuse source.
    s += "  vec4 lit = vec4(min(vec3(1.0), " + Source(k.emissiveSource) + ".rgb + uAmbient * " +
         Source(k.ambientSource) + ".rgb), " + Source(k.diffuseSource) + ".a);\n";
    s += "  specular = vec4(0.0, 0.0, 0.0, " + Source(k.specularSource) + ".a);\n";
    s += "  diffuse = lit;\n";
  }
  if (k.vertexFogMode != 0) {
    const std::string f = FogFormula(k.vertexFogMode, "d");
    s += "  float d = abs(vFogDepth);\n";
    s += "  specular.a = clamp(" + f + ", 0.0, 1.0);\n";
  }
  s += "  vDiffuse = diffuse;\n  vSpecular = specular;\n";
  for (int i = 0; i < 8; ++i)
    if (k.texSets & (1u << i))
      s += "  vTex" + std::to_string(i) + " = aTex" + std::to_string(i) + ";\n";
  s += "}\n";
  return s;
}

std::string FragmentShaderSource(const ProgramKey& k) {
  std::string s = "#version 330 core\n";
  s += Declarations(k, "in");
  s += "uniform vec4 uFog;\nuniform vec3 uFogColour;\nuniform vec4 uTFactor;\n";
  s += "uniform float uAlphaRef;\n";
  for (int i = 0; i < k.stageCount; ++i)
    if (k.stages[i].hasTexture) s += "uniform sampler2D uTex" + std::to_string(i) + ";\n";
  s += "out vec4 fragColour;\n";
  s += kCombine;
  s += "void main() {\n";
  s += "  vec4 diffuse = vDiffuse;\n  vec4 specular = vSpecular;\n";
  s += "  vec4 current = diffuse;\n  vec4 temp = vec4(0.0);\n";
  for (int i = 0; i < k.stageCount; ++i) {
    const StageKey& st = k.stages[i];
    const std::string n = std::to_string(i);
    s += "  {\n";
    std::string texA = "1.0";
    if (st.hasTexture) {
      const std::string uv =
          st.texSet == kNoTexSet ? "vec2(0.0)" : "vTex" + std::to_string(st.texSet);
      s += "    vec4 tex" + n + " = texture(uTex" + n + ", " + uv + ");\n";
      texA = "tex" + n + ".a";
    }
    s += "    vec4 result = current;\n";
    const std::string extra = ", diffuse.a, " + texA + ", uTFactor.a, current.a)";
    if (st.hasTexture || !ReadsTexture(st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2))
      s += "    result.rgb = combine(" + std::to_string(st.colorOp) + ", " +
           Argument(st.colorArg1, i) + ", " + Argument(st.colorArg2, i) + ", " +
           Argument(st.colorArg0, i) + extra + ".rgb;\n";
    if (st.alphaOp != D3DTOP_DISABLE &&
        (st.hasTexture || !ReadsTexture(st.alphaOp, st.alphaArg0, st.alphaArg1, st.alphaArg2)))
      s += "    result.a = combine(" + std::to_string(st.alphaOp) + ", " +
           Argument(st.alphaArg1, i) + ", " + Argument(st.alphaArg2, i) + ", " +
           Argument(st.alphaArg0, i) + extra + ".a;\n";
    s += st.resultTemp ? "    temp = result;\n" : "    current = result;\n";
    s += "  }\n";
  }
  if (k.specularAdd) s += "  current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
  if (k.fog == 1) {
    s += "  float d = vFogDepth;\n";
    s += "  float f = clamp(" + FogFormula(k.fogTableMode, "d") + ", 0.0, 1.0);\n";
  } else if (k.fog == 2) {
    s += "  float f = clamp(vSpecular.a, 0.0, 1.0);\n";
  }
  if (k.fog != 0) s += "  current.rgb = mix(uFogColour, current.rgb, f);\n";
  if (k.alphaFunc != 0)
    s += "  if (!(" + Compare(k.alphaFunc, "floor(current.a * 255.0 + 0.5)", "uAlphaRef") +
         ")) discard;\n";
  s += "  fragColour = current;\n}\n";
  return s;
}

ProgramCache::~ProgramCache() {
  for (auto& [key, program] : programs_) glDeleteProgram(program.id);
}

const Program* ProgramCache::Get(const ProgramKey& key, std::string* error) {
  if (auto it = programs_.find(key); it != programs_.end()) return &it->second;
  GLuint vs = Compile(GL_VERTEX_SHADER, VertexShaderSource(key), error);
  if (!vs) return nullptr;
  GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(key), error);
  if (!fs) {
    glDeleteShader(vs);
    return nullptr;
  }
  Program p;
  p.id = glCreateProgram();
  glAttachShader(p.id, vs);
  glAttachShader(p.id, fs);
  glLinkProgram(p.id);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(p.id, sizeof log, nullptr, log);
    if (error) *error = std::string("program does not link: ") + log;
    glDeleteProgram(p.id);
    return nullptr;
  }
  p.wvp = glGetUniformLocation(p.id, "uWvp");
  p.viewport = glGetUniformLocation(p.id, "uViewport");
  p.depthRange = glGetUniformLocation(p.id, "uDepthRange");
  p.target = glGetUniformLocation(p.id, "uTarget");
  p.fog = glGetUniformLocation(p.id, "uFog");
  p.fogColour = glGetUniformLocation(p.id, "uFogColour");
  p.tfactor = glGetUniformLocation(p.id, "uTFactor");
  p.ambient = glGetUniformLocation(p.id, "uAmbient");
  p.alphaRef = glGetUniformLocation(p.id, "uAlphaRef");
  glUseProgram(p.id);
  for (int i = 0; i < key.stageCount; ++i) {
    const GLint unit = glGetUniformLocation(p.id, ("uTex" + std::to_string(i)).c_str());
    if (unit >= 0) glUniform1i(unit, i);
  }
  return &programs_.emplace(key, p).first->second;
}

}  // namespace gldev
