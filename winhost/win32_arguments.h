// The command line as the system holds it, in UTF-8.
#pragma once

#include <string>
#include <vector>

namespace win32 {

// main's argv is in the ANSI code page, which cannot hold every name (and
// the program's paths are UTF-8); these are the wide arguments, converted.
std::vector<std::string> Utf8Arguments();

}  // namespace win32
