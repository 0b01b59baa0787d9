// What differs between the platforms the run-time runs on, behind one small
// interface: descriptors and files, the standard descriptors at start-up, and
// signals. Each system implements it in a folder of its own (posix/, win/),
// one concern a file: files, waits, descriptors, signals, holds. The
// run-time's operations above it are the same everywhere.
#pragma once

#include <climits>
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

// Whether name is a folder.
bool is_folder(const char* name);

// Makes the folder name the current one: 0, or the system's error code.
int enter(const char* name);

// Whether the descriptor is a regular file, which can be cut.
bool is_regular(int fd);

// The descriptor's current offset; -1 when unknown.
int64_t tell(int fd);

// Where a file that the run may cut stands: 0, with *length the file's size
// and *at its offset (asked of the system only when *at is below 0 on
// entry); for what is not a regular file (a pipe, a FIFO, a device, a
// terminal), which is never cut, 0 with both -1. Otherwise the system's
// error code: the position or the size cannot be had.
int place(int fd, int64_t* at, int64_t* length);

// Cuts the file of fd to length bytes and puts its offset there; 0, or the
// system's error code.
int cut(int fd, int64_t length);

// The one wait of the run-time: until fd can be read (out false) or written
// (out true), or ms milliseconds have passed (ms below 0: no limit; fd -1:
// time alone), or a signal is noted, whichever comes first. noted() tells
// whether a signal has been noted; one that comes at any moment of the call,
// even just before the wait, ends it. False when it ended for a signal.
bool wait(int fd, bool out, int ms, bool (*noted)());

// Opens the special file name (a FIFO, a device) for writing. The open
// itself never waits: a FIFO without a reader is waited for through wait(),
// and writes to it that cannot go on return to wait() too. Null, with errno
// set, when the open fails; EINTR when noted() ended the wait for a reader.
FILE* open_special(const char* name, bool (*noted)());

// Gives the standard descriptor fd, when it is a pipe, a FIFO or a terminal,
// a description of its own whose writes return instead of blocking, so that
// write() waits for room through wait(); the process that shares the old
// description is not affected. Where the system cannot give one (no /proc),
// the shared description stays as it is, and write() waits for room through
// wait() before each write to it. Elsewhere (a file, a socket) nothing
// changes. True for a pipe, a FIFO or a terminal.
bool own_description(int fd);

// A write of at most this many bytes to a pipe or a FIFO reaches it whole or
// not at all: 4 KiB, or less where the system promises less (PIPE_BUF is
// 512 bytes on macOS and the BSDs).
#if !defined(_WIN32) && defined(PIPE_BUF) && PIPE_BUF < 4096
constexpr size_t kWhole = PIPE_BUF;
#else
constexpr size_t kWhole = 4096;
#endif

// Writes the n characters at p to fd, storing each line feed as the
// platform's text files store it. *done receives how many of the n the
// system took. A write that cannot go on waits for room through wait(); when
// noted() ends that wait, the write stops there with EINTR; with patience of
// 0 or more, a wait that sees no room for patience ms stops it with EAGAIN
// (Windows asks none: its console's handler ends a write that waits for a
// pipe's reader). Returns 0, or the system's error code when the system took
// fewer.
int write(int fd, const char* p, size_t n, size_t* done, bool (*noted)(), int patience = -1);

// The bytes that the n characters at p take in a file: more than n where a
// line feed is stored as two bytes.
int64_t stored(const char* p, size_t n);

// A wait for input on fd ended without a character. Where an interrupt typed
// at a console ends the read before its handler has noted it (Windows runs
// that handler on a thread of its own), this waits until the handler says
// it has, when the read was ended that way; elsewhere it returns at once.
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

// Lets the fatal signals in again, on a run that is ending: a handler that
// ends the run holds them off while it runs, and a second signal must still
// be able to end a run whose end is stuck.
void let_signals_in();

// The run has begun its end: the end-of-run close, or a report's or a
// signal's text and close. A handler on another thread that ends the main
// thread's blocking calls ends from here on only a write that waits for a
// pipe's reader, never the end's text, cut or close.
void end_begins();

// Every file of the run is cut and closed, and the run waits no more: a
// handler on another thread that ends the main thread's waits until then,
// and holds the process until then (a closing console), may stop.
void files_closed();

// Runs the handler of the console's control event (Windows: 0 Ctrl+C, 1
// Ctrl+Break, 2 close, 5 logoff, 6 shutdown) as the console would, on the
// calling thread: how a test without a console raises one. True when the
// event was handled; elsewhere false, as there is no such console.
bool console_event(unsigned long type);

// Whether a write to fd would wait now: fd is a pipe, a FIFO or a terminal
// whose reader takes nothing. False for -1. Safe in a handler.
bool stalled(int fd);

// Holding a file against other runs that write it. What a hold came to:
// taken; refused, as another process holds the file; or none, where none is
// needed or to be had (a special file; a file system that refuses, as some
// network mounts do), and the run goes on as if held.
enum class held { taken, refused, none };

// Holds the regular file open on fd against every other process that asks
// for a hold on it, until release(*id) or the end of the process, however it
// ends; closing fd or another descriptor of the file does not end it. When
// refused, *holder is the process that holds it where the system tells,
// else 0.
held hold_file(int fd, intptr_t* id, long* holder);

// Ends the hold id.
void release(intptr_t id);

// Opens name for writing as mode ("w" or "wb") does, creating a missing file,
// but without emptying one that is there: the caller holds it, then cuts it.
// Null, with errno set, when the open fails.
FILE* open_uncut(const char* name, const char* mode);

// Where the process has a console window of its own (started by a double
// click), waits for Enter there, so that the window does not close with the
// report just written; elsewhere returns at once.
void keep_window();

// Writes to standard error without the stream library: safe in a handler.
// It never waits: what standard error cannot take at once (a pipe that is
// full, its reader stalled) is lost.
void write_error(const char* s, size_t n);

}  // namespace rio::sys
