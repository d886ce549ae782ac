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

std::string Source(d3dfront::MaterialSource source) {
  switch (source) {
    case d3dfront::MaterialSource::Diffuse:
      return "diffuse";
    case d3dfront::MaterialSource::Specular:
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

// Texture-stage operation `op` on arguments x (arg1), y (arg2) and z (arg0);
// `texA` is the stage's texture alpha.
std::string Combine(DWORD op, const std::string& x, const std::string& y, const std::string& z,
                    const std::string& texA) {
  const std::string X = "(" + x + ")", Y = "(" + y + ")", Z = "(" + z + ")";
  const auto sat = [](const std::string& e) { return "clamp(" + e + ", 0.0, 1.0)"; };
  const auto withAlphaOfX = [&](const std::string& rgb) {
    return "vec4(" + sat(rgb) + ", " + X + ".a)";
  };
  switch (op) {
    case D3DTOP_SELECTARG1:
      return X;
    case D3DTOP_SELECTARG2:
      return Y;
    case D3DTOP_MODULATE:
      return X + " * " + Y;
    case D3DTOP_MODULATE2X:
      return sat("2.0 * " + X + " * " + Y);
    case D3DTOP_MODULATE4X:
      return sat("4.0 * " + X + " * " + Y);
    case D3DTOP_ADD:
      return sat(X + " + " + Y);
    case D3DTOP_ADDSIGNED:
      return sat(X + " + " + Y + " - kHalf");
    case D3DTOP_ADDSIGNED2X:
      return sat("2.0 * (" + X + " + " + Y + " - kHalf)");
    case D3DTOP_SUBTRACT:
      return sat(X + " - " + Y);
    case D3DTOP_ADDSMOOTH:
      return sat(X + " + " + Y + " - " + X + " * " + Y);
    case D3DTOP_BLENDDIFFUSEALPHA:
      return "mix(" + Y + ", " + X + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA:
      return "mix(" + Y + ", " + X + ", " + texA + ")";
    case D3DTOP_BLENDFACTORALPHA:
      return "mix(" + Y + ", " + X + ", uTFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM:
      return sat(X + " + " + Y + " * (1.0 - " + texA + ")");
    case D3DTOP_BLENDCURRENTALPHA:
      return "mix(" + Y + ", " + X + ", current.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
      return withAlphaOfX(X + ".rgb + " + X + ".a * " + Y + ".rgb");
    case D3DTOP_MODULATECOLOR_ADDALPHA:
      return withAlphaOfX(X + ".rgb * " + Y + ".rgb + " + X + ".a");
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
      return withAlphaOfX(X + ".rgb + (1.0 - " + X + ".a) * " + Y + ".rgb");
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
      return withAlphaOfX("(1.0 - " + X + ".rgb) * " + Y + ".rgb + " + X + ".a");
    case D3DTOP_DOTPRODUCT3:
      return "vec4(" + sat("4.0 * dot(" + X + ".rgb - kHalf, " + Y + ".rgb - kHalf)") + ")";
    case D3DTOP_MULTIPLYADD:
      return sat(Z + " + " + X + " * " + Y);
    case D3DTOP_LERP:
      return Z + " * " + X + " + (1.0 - " + Z + ") * " + Y;
    default:
      return X;
  }
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
    s += "  vec2 ndc = (snap(aPosition.xy) + " + std::to_string(d3dfront::kPixelCentreShift) +
         ") * uTarget - 1.0;\n";
    s += "  gl_Position = vec4(ndc * w, (2.0 * aPosition.z - 1.0) * w, w);\n";
  } else {
    // Row vectors times the Direct3D matrix; clip z runs 0..w. The viewport
    // maps x and y straight to rows from the top, half a pixel on.
    s += "  vec4 c = uWvp * vec4(aPosition.xyz, 1.0);\n";
    s += "  gl_Position = vec4(uViewport.x * c.w + (c.w + c.x) * uViewport.y,\n";
    s += "                     uViewport.z * c.w + (c.w - c.y) * uViewport.w,\n";
    s += "                     2.0 * (uDepthRange.x * c.w + c.z * uDepthRange.y) - c.w, c.w);\n";
  }
  switch (k.fogDepth) {
    case d3dfront::FogDepth::ScreenZ:
      s += "  vFogDepth = aPosition.z;\n";
      break;
    case d3dfront::FogDepth::EyeW:
      s += "  vFogDepth = c.w;\n";
      break;
    case d3dfront::FogDepth::ProjectedZ:
      s += "  vFogDepth = c.w != 0.0 ? c.z / c.w : 0.0;\n";
      break;
  }
  if (k.lighting) {
    // No lights and an all-zero material: only emissive and ambient terms
    // reach the colour; alpha comes from the diffuse source.
    s += "  vec4 lit = vec4(min(vec3(1.0), " + Source(k.emissiveSource) + ".rgb + uAmbient * " +
         Source(k.ambientSource) + ".rgb), " + Source(k.diffuseSource) + ".a);\n";
    s += "  specular = vec4(0.0, 0.0, 0.0, " + Source(k.specularSource) + ".a);\n";
    s += "  diffuse = lit;\n";
  }
  if (k.vertexFogMode != D3DFOG_NONE) {
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
  s += "const float kHalf = 128.0 / 255.0;\n";
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
    if (st.colorRuns)
      s += "    result.rgb = (" +
           Combine(st.colorOp, Argument(st.colorArg1, i), Argument(st.colorArg2, i),
                   Argument(st.colorArg0, i), texA) +
           ").rgb;\n";
    if (st.alphaRuns)
      s += "    result.a = (" +
           Combine(st.alphaOp, Argument(st.alphaArg1, i), Argument(st.alphaArg2, i),
                   Argument(st.alphaArg0, i), texA) +
           ").a;\n";
    s += st.resultTemp ? "    temp = result;\n" : "    current = result;\n";
    s += "  }\n";
  }
  if (k.specularAdd) s += "  current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
  if (k.fog == d3dfront::FogSource::Table) {
    s += "  float d = vFogDepth;\n";
    s += "  float f = clamp(" + FogFormula(k.fogTableMode, "d") + ", 0.0, 1.0);\n";
  } else if (k.fog == d3dfront::FogSource::Vertex) {
    s += "  float f = clamp(vSpecular.a, 0.0, 1.0);\n";
  }
  if (k.fog != d3dfront::FogSource::Off) s += "  current.rgb = mix(uFogColour, current.rgb, f);\n";
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
