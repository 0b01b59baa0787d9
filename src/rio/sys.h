// What differs between the platforms the run-time runs on, behind one small
// interface: descriptors and files, the standard descriptors at start-up, and
// signals. Each platform implements it in one file of its own (sys_posix.cpp,
// sys_win.cpp); the run-time's operations above it are the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace rio::sys {

// The descriptor under a stream.
int fd_of(FILE* f);

// Whether the descriptor is attached to a terminal.
bool is_terminal(int fd);

// What a path names: nothing, a file or a folder, or a special file (a FIFO,
// a device, a socket), which is opened for writing only.
enum class kind { absent, file, special };
kind path_kind(const char* name);

// Whether the descriptor is a regular file, which can be cut.
bool is_regular(int fd);

// The descriptor's current offset, and the file's size; -1 when unknown.
int64_t tell(int fd);
int64_t size(int fd);

// Cuts the file of fd to length bytes and puts its offset there; 0, or the
// system's error code.
int cut(int fd, int64_t length);

// Writes the n characters at p to fd, storing each line feed as the
// platform's text files store it. *done receives how many of the n the
// system took. Returns 0, or the system's error code when it took fewer.
int write(int fd, const char* p, size_t n, size_t* done);

// The bytes that the n characters at p take in a file: more than n where a
// line feed is stored as two bytes.
int64_t stored(const char* p, size_t n);

// Waits until fd can be read without blocking (input, or its end), or until
// a signal arrives, whichever comes first; noted() tells whether a signal
// has been noted, and a signal that comes at any moment of the call, even
// just before the wait, ends it.
void wait_for_input(int fd, bool (*noted)());

// A wait for input on fd ended without a character. Where an interrupt typed
// at a console ends the wait before its handler has noted it (Windows runs
// that handler on a thread of its own), this gives the handler a moment, so
// that the caller finds the signal noted; elsewhere it returns at once.
void settle_input_end(int fd);

// Holds each closed standard descriptor (0, 1, 2) with one that refuses
// writes, so that no file opened later can take its place.
void hold_std_descriptors();

// How a signal handler may act on the signal it received:
//   now       - the process raised it itself (a processor fault, its own
//               abort); the handler cannot return into the cause, so it acts
//               at once;
//   when_idle - it came from outside but runs on the interrupted thread; it
//               acts at once when no run-time call is in progress;
//   deferred  - it runs on a thread of its own; it only notes the signal,
//               and the main thread acts on it.
enum class urgency { now, when_idle, deferred };
using handler = void (*)(int signo, urgency u);

// Installs h for signo, with the run-time's other fatal signals held off
// while it runs, and without restarting an interrupted wait for input. With
// keep_ignored, a signal that the process was started ignoring stays ignored.
void on_signal(int signo, handler h, bool keep_ignored);

// A broken pipe and a file-size limit make the write fail with the system's
// error instead of ending the process without a word.
void ignore_write_signals();

// Holds off the interrupt and termination signals for the rest of the run.
void hold_end_signals();

// Writes to standard error without the stream library: safe in a handler.
void write_error(const char* s, size_t n);

}  // namespace rio::sys
