// What both executables do first, before they open any file: a process
// started with a standard descriptor closed, or with file-size and pipe
// signals at their defaults, would otherwise lose or tear its files.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens later becomes one of them and receives its
// messages. Ignores SIGXFSZ and SIGPIPE, so that a file grown past the
// size limit or a pipe whose reader has gone fails the write (EFBIG, EPIPE)
// and the program reports it, instead of dying with a line half written.
void PrepareProcess();
