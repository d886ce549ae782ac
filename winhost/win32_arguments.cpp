#include "winhost/win32_arguments.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include "runtime/system_files.h"

namespace win32 {

std::vector<std::string> Utf8Arguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i)
    arguments.push_back(system_files::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace win32
