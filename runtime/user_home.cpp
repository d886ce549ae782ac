#include "runtime/user_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string UserHome() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* user = ::getpwuid(::getuid());
  if (user == nullptr || user->pw_dir == nullptr || user->pw_dir[0] != '/') return {};
  return user->pw_dir;
}
