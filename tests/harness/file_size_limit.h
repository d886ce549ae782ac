// A full disk for tests, without mounting one: a child process whose files
// may not grow past a limit. The system then takes part of a write that
// crosses the limit and refuses the rest, as it does when a disk fills.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace test_helpers {

// Runs `body` (returning a string) in a child whose files may not grow past
// `limit` bytes; returns that string, or "child failed" when the child did
// not finish normally.
template <class Body>
std::string UnderFileSizeLimit(rlim_t limit, Body body) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);  // a refused write answers EFBIG instead
    const rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    const std::string out = body();
    const bool written =
        ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(written ? 0 : 2);
  }
  ::close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
  return out;
}

}  // namespace test_helpers
