// The scene format: Direct3D 8 device calls as text, to be replayed on a
// device. kFormatDescription is its definition as users read it (the replay
// tool prints it; docs/scene-format.md adds an example). The spellings of
// its words and numbers are below, shared by the reader and the writer, so
// that what the writer says the reader reads back to the same call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/d3d8types.h"

namespace scene {

inline constexpr std::string_view kFormatDescription =
    "Scene format: one command a line; '#' starts a comment; blank lines are\n"
    "ignored; words are separated by spaces or tabs. Integers are decimal or\n"
    "0x hex, 0 to 0xFFFFFFFF. Floats are decimal (1, -0.5, 2.5e-3, inf, nan)\n"
    "or 0x hex giving the single's bit pattern (0x3F800000 = 1.0). FILE is one\n"
    "word, or a name in double quotes in which \\\" \\\\ and \\xNN stand for a\n"
    "quote, a backslash and any byte; it is relative to the scene's folder: a\n"
    "file of at most 256 MiB (the largest vertex buffer a device makes). A\n"
    "scene is at most 64 MiB, and takes at most 1 GiB in memory with the files\n"
    "its draws read (a file read by two draws counting twice).\n"
    "\n"
    "  clear FLAGS COLOR Z [STENCIL]     Clear(0, none, FLAGS, COLOR, Z, STENCIL or 0)\n"
    "  rs STATE VALUE                    SetRenderState(STATE, VALUE)\n"
    "  rsf STATE FLOAT                   SetRenderState(STATE, FLOAT's bit pattern)\n"
    "  ts STAGE STATE VALUE              SetTextureStageState(STAGE, STATE, VALUE)\n"
    "  fvf CODE                          SetVertexShader(CODE); format of later buffers\n"
    "  world|view|proj F1 .. F16         SetTransform with the matrix, row by row\n"
    "  vb STRIDE PRIMTYPE PRIMCOUNT FILE a vertex buffer of FILE's size (usage 0,\n"
    "                                    the current format, default pool) filled\n"
    "                                    with FILE's bytes, bound to stream 0 with\n"
    "                                    STRIDE, then DrawPrimitive(PRIMTYPE, 0,\n"
    "                                    PRIMCOUNT)\n"
    "  up STRIDE PRIMTYPE PRIMCOUNT FILE DrawPrimitiveUP(PRIMTYPE, PRIMCOUNT, FILE's\n"
    "                                    bytes, STRIDE); FILE must hold every vertex\n"
    "                                    the draw reads\n"
    "\n"
    "PRIMTYPE: 1 points, 2 line list, 3 line strip, 4 triangle list,\n"
    "5 triangle strip, 6 triangle fan.\n";

// The largest vertex file a scene may name: the largest vertex buffer the
// devices make.
inline constexpr std::uint64_t kMaxVertexFileBytes = std::uint64_t{1} << 28;
// The largest scene text read.
inline constexpr std::uint64_t kMaxSceneBytes = std::uint64_t{1} << 26;
// The most memory a scene read takes: its commands and the bytes of every
// vertex file its draws read.
inline constexpr std::uint64_t kMaxSceneMemoryBytes = std::uint64_t{1} << 30;

// The command words.
inline constexpr std::string_view kClearWord = "clear";
inline constexpr std::string_view kRenderStateWord = "rs";
inline constexpr std::string_view kRenderStateFloatWord = "rsf";
inline constexpr std::string_view kTextureStageStateWord = "ts";
inline constexpr std::string_view kFvfWord = "fvf";
inline constexpr std::string_view kVertexBufferWord = "vb";
inline constexpr std::string_view kUserPointerWord = "up";

// "world", "view" and "proj"; empty for a transform the format cannot say.
std::string_view TransformWord(D3DTRANSFORMSTATETYPE which);
std::optional<D3DTRANSFORMSTATETYPE> TransformFromWord(std::string_view word);

// A whole-word unsigned 32-bit integer, decimal or 0x hex.
bool ParseDword(std::string_view word, DWORD& out);
// A whole-word float: decimal, or 0x hex as the single's bit pattern.
bool ParseFloat(std::string_view word, float& out);

// A file name as a draw line gives it: as it is when it reads back as one
// word, else in double quotes with '"', '\\' and the bytes that are not
// printable ASCII written as \", \\ and \xNN.
std::string FileWord(std::string_view name);
// Reads a quoted word (FileWord's) from the start of `text`: its bytes into
// `out` and its length in `text`, quotes included, into `used`. False with
// `reason` when the quote is not closed or an escape is not one of the three.
bool ReadQuotedWord(std::string_view text, std::string& out, std::size_t& used,
                    std::string& reason);

// "0x" and eight upper-case hex digits.
std::string HexWord(DWORD value);
// Decimal with nine significant digits, which every float reads back from
// exactly.
std::string FloatWord(float value);

}  // namespace scene
