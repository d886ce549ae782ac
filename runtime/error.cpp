#include "platform/error.h"

#include <cstdio>
#include <utility>

ErrObject& Err() {
  static ErrObject pending;
  return pending;
}

namespace {

struct Entry {
  std::uint32_t number;
  const char* text;
};

// The runtime's own errors.
constexpr Entry kRuntime[] = {
    {ErrInvalidProcedureCall, "Invalid procedure call or argument"},
    {ErrOverflow, "Overflow"},
    {ErrOutOfMemory, "Out of memory"},
    {ErrSubscriptOutOfRange, "Subscript out of range"},
    {ErrDivisionByZero, "Division by zero"},
    {ErrBadFileNameOrNumber, "Bad file name or number"},
    {ErrFileNotFound, "File not found"},
    {ErrBadFileMode, "Bad file mode"},
    {ErrFileAlreadyOpen, "File already open"},
    {ErrDeviceIOError, "Device I/O error"},
    {ErrDiskFull, "Disk full"},
    {ErrBadFileName, "Bad file name"},
    {ErrTooManyFiles, "Too many files"},
    {ErrPermissionDenied, "Permission denied"},
    {ErrPathFileAccess, "Path/file access error"},
    {ErrPathNotFound, "Path not found"},
    {ErrObjectNotSet, "Object variable not set"},
};

// Platform status codes (Direct3D, DirectInput and the common system codes).
constexpr Entry kPlatform[] = {
    {0x8876086Au, "D3DERR_NOTAVAILABLE: the requested device type or format is not available"},
    {0x8876086Bu, "D3DERR_INVALIDDEVICE: the requested device type is not valid"},
    {0x8876086Cu, "D3DERR_INVALIDCALL: the method call is invalid"},
    {0x8876086Du, "D3DERR_DRIVERINVALIDCALL: the driver refused the call"},
    {0x88760868u, "D3DERR_DEVICELOST: the device has been lost"},
    {0x88760869u, "D3DERR_DEVICENOTRESET: the device has been lost but can be reset"},
    {0x88760866u, "D3DERR_NOTFOUND: the requested item was not found"},
    {0x88760867u, "D3DERR_MOREDATA: more data is available than fits the buffer"},
    {0x8876017Cu, "D3DERR_OUTOFVIDEOMEMORY: not enough display memory"},
    {0x88760818u, "D3DERR_WRONGTEXTUREFORMAT: the pixel format of the texture is not supported"},
    {0x88760827u, "D3DERR_DRIVERINTERNALERROR: internal driver error"},
    {0x8007000Eu, "E_OUTOFMEMORY: not enough memory"},
    {0x80070057u, "E_INVALIDARG: an invalid argument was passed"},
    {0x80004001u, "E_NOTIMPL: not implemented"},
    {0x80004005u, "E_FAIL: unspecified failure"},
    {0x80070005u, "E_ACCESSDENIED: another application has priority over this device"},
    {0x8007000Cu, "DIERR_NOTACQUIRED: the device is not acquired"},
    {0x8007001Eu, "DIERR_INPUTLOST: access to the input device has been lost"},
    {0x80070015u, "DIERR_NOTINITIALIZED: the object has not been initialized"},
    {0x80040154u, "DIERR_DEVICENOTREG: the device is not registered"},
    {0x80040110u, "CLASS_E_NOAGGREGATION: the object cannot be created"},
};

}  // namespace

std::string DescribeError(std::int32_t number) {
  if (number == 0) return {};
  const auto key = static_cast<std::uint32_t>(number);
  for (const Entry& e : kRuntime)
    if (e.number == key) return e.text;
  for (const Entry& e : kPlatform)
    if (e.number == key) return e.text;
  char buf[64];
  if (number < 0)
    std::snprintf(buf, sizeof buf, "Platform error 0x%08X", static_cast<unsigned>(key));
  else
    std::snprintf(buf, sizeof buf, "Application-defined or object-defined error");
  return buf;
}

namespace {
struct NotedDetail {
  std::int32_t number = 0;
  std::string text;
};
NotedDetail& Noted() {
  static NotedDetail noted;
  return noted;
}
}  // namespace

void NoteErrorDetail(std::int32_t number, std::string detail) {
  Noted() = {number, std::move(detail)};
}

void Raise(std::int32_t number, std::string_view source, std::string description) {
  NotedDetail noted = std::exchange(Noted(), NotedDetail{});
  if (description.empty()) {
    description = DescribeError(number);
    if (noted.number == number && !noted.text.empty()) description += ": " + noted.text;
  }
  ErrObject& err = Err();
  err.Number = number;
  err.Source = std::string(source);
  err.Description = description;
  throw RuntimeError(number, std::string(source), std::move(description));
}

void RaiseObjectNotSet(std::string_view source) { Raise(ErrObjectNotSet, source); }
