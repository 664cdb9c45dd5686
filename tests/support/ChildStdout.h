// What a child process wrote to its stdout (a pipe) by the moment it ended without flushing:
// `body` runs in a forked child whose stdout is a pipe, and the child then leaves with _exit,
// which discards whatever still sits in the stdio buffer, as a crash would. Lines written through
// when they are printed arrive; lines left in the buffer are lost.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace child_stdout {

inline std::string printedBeforeExit(const std::function<void()>& body) {
  std::fflush(stdout);
  int fds[2];
  if (::pipe(fds) != 0)
    return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    body();
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char chunk[512];
  for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;)
    text.append(chunk, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return text;
}

}  // namespace child_stdout
