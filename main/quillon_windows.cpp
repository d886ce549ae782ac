// The program on Windows: the shell's entry over the Windows host's binding.
#include <string>
#include <vector>

#include "app/frmTest.h"
#include "winhost/win32_arguments.h"
#include "winhost/win_platform.h"

int main() {
  // The arguments in UTF-8, as every path and setting of the program is.
  const std::vector<std::string> arguments = win32::Utf8Arguments();
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  WinPlatform host;
  return RunForm<frmTest>(static_cast<int>(arguments.size()), argv.data(), host);
}
