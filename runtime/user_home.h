// The user's home folder on a POSIX system, for what the host keeps per user
// (drive C, F12's pictures): HOME when it is absolute, else the user's entry
// in the password database; never the current folder, which would scatter
// the user's files wherever the program starts. Empty when neither names one.
#pragma once

#include <string>

std::string UserHome();
