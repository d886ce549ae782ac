// The runtime's error model.
//
// One error is pending per program: a number (0 = none) and a description.
// Raising an error makes it the pending one and throws RuntimeError; a routine
// without its own handling simply lets the exception pass to its caller.
// Platform operations return a status (0 = success); Check() turns a failing
// status into a raised error whose number is the status itself.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

using HRESULT = std::int32_t;

// Numbers of the runtime's own errors.
enum RuntimeErrorNumber : std::int32_t {
  ErrInvalidProcedureCall = 5,
  ErrOverflow = 6,
  ErrOutOfMemory = 7,
  ErrSubscriptOutOfRange = 9,
  ErrDivisionByZero = 11,
  ErrBadFileNameOrNumber = 52,
  ErrFileNotFound = 53,
  ErrBadFileMode = 54,
  ErrFileAlreadyOpen = 55,
  ErrDeviceIOError = 57,
  ErrDiskFull = 61,
  ErrBadFileName = 64,
  ErrTooManyFiles = 67,
  ErrPermissionDenied = 70,
  ErrPathFileAccess = 75,
  ErrPathNotFound = 76,
  ErrObjectNotSet = 91,
};

struct RuntimeError : std::runtime_error {
  RuntimeError(std::int32_t number, std::string source, std::string description)
      : std::runtime_error(description), Number(number), Source(std::move(source)),
        Description(std::move(description)) {}
  std::int32_t Number;
  std::string Source;
  std::string Description;
};

// The pending error of the program.
struct ErrObject {
  std::int32_t Number = 0;
  std::string Source;
  std::string Description;

  void Clear() {
    Number = 0;
    Source.clear();
    Description.clear();
  }
};

ErrObject& Err();

// The description the runtime gives an error number: its own errors, the
// Direct3D and DirectInput codes, and a generic text for anything else.
std::string DescribeError(std::int32_t number);

// What the runtime knows about a failure it has just returned as `number`
// (a file error's host path, say). The next Raise of that number without a
// description of its own adds it to the description; any other number drops
// it.
void NoteErrorDetail(std::int32_t number, std::string detail);

// Makes `number` the pending error and throws. An empty description takes
// DescribeError(number).
[[noreturn]] void Raise(std::int32_t number, std::string_view source = {},
                        std::string description = {});

// Raises when `status` is a failure (non-zero); `source` names the interface
// the status came from (for example "Direct3DDevice8").
inline void Check(HRESULT status, std::string_view source) {
  if (status != 0) Raise(status, source);
}

// A call made through an unset object variable.
[[noreturn]] void RaiseObjectNotSet(std::string_view source);

// Raised when the program ends its process in a build that must not exit
// (tests). It is not a RuntimeError: no error handler of the program sees it.
struct ProcessEnded {
  int ExitCode;
};
