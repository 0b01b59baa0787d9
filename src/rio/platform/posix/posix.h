// What the POSIX side's files share: the run-time's fatal signals, the wait
// under a given signal mask, the pipe that wakes a wait where there is no
// ppoll, and the standard descriptors left shared and blocking.
#pragma once

#include <csignal>

namespace rio::sys {

// The signals whose handlers end the run.
inline constexpr int kFatal[] = {SIGFPE, SIGABRT, SIGINT, SIGTERM};

// Waits as wait() does, with the signals of during let in for the wait, the
// fatal ones always.
bool wait_with(int fd, bool out, int ms, bool (*noted)(), sigset_t during);

// Opens the pipe that the handlers write to, where waits watch one (no
// ppoll); otherwise does nothing.
void open_wake_pipe();

// In a handler: ends the wait in progress, where a pipe wakes it; keeps the
// interrupted code's errno.
void wake_waits();

// Whether the standard descriptor fd kept the description it was given,
// shared and blocking, so that each write to it waits for room first.
bool is_shared(int fd);

}  // namespace rio::sys
