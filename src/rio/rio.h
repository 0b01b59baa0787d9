// The record I/O run-time: what a program calls to open and close units, to
// write list-directed and formatted records and to read a line, and to stop.
#pragma once

#include <cstdint>

namespace rio {

// Control record of one data-transfer statement.
struct cilist {
  int32_t err;         // non-zero: return errors instead of ending the run
  int32_t unit;        // unit number, 0 to 99
  int32_t end;         // non-zero: return end of file instead of ending the run
  const char* format;  // format text; null for list-directed transfer
  int32_t rec;         // record number; 0 for sequential transfer
};

// Control record of an open.
struct olist {
  int32_t err;
  int32_t unit;
  const char* file;  // the name, not NUL-terminated; null for "fort.<unit>"
  int32_t filelen;
  const char* stat;
  const char* access;
  const char* form;
  int32_t recl;
  const char* blank;
};

// Control record of a close.
struct cllist {
  int32_t err;
  int32_t unit;
  const char* stat;
};

// Item type codes of do_lio.
enum : int32_t {
  TYINT2 = 2,
  TYINT = 3,
  TYREAL = 4,
  TYDREAL = 5,
  TYCOMPLEX = 6,   // two floats, the real part first
  TYDCOMPLEX = 7,  // two doubles, the real part first
  TYLOGICAL = 8,   // 32 bits
  TYCHAR = 9,
  TYINT1 = 11,
  TYLOGICAL2 = 12,  // 16 bits
  TYLOGICAL1 = 13,  // 8 bits
  TYINT8 = 14
};

// List-directed statements.
int32_t s_wsle(const cilist* a);
int32_t do_lio(const int32_t* type, const int32_t* count, const void* ptr, int32_t len);
int32_t e_wsle();
int32_t s_rsle(const cilist* a);
int32_t e_rsle();

// Formatted statements.
int32_t s_wsfe(const cilist* a);
int32_t do_fio(const int32_t* count, const void* ptr, int32_t len);
int32_t e_wsfe();

// Units.
int32_t f_open(const olist* a);
int32_t f_clos(const cllist* a);

// The command-line arguments, as start-up received them.
extern int f__xargc;
extern char** f__xargv;

// Whether the run-time runs on Windows, where a command takes "/?" for help.
extern const bool kWindows;

// A status line on standard error, for progress: status_shown() tells
// whether standard error is a terminal, where alone it is written.
// status_line() rewrites it in place; an empty text erases it. A report or a
// signal's text erases it first.
bool status_shown();
void status_line(const char* text);

// Files written one after another as one run's set. A file that a unit
// writes is held against other runs from before its first change until its
// unit's close; between hold_files(true) and hold_files(false) each such
// hold lasts past the close, until hold_files(false) ends them all, so that
// no other run changes one file of the set while this run writes another.
void hold_files(bool keep);

// Holds fatal signals off from hold_signals(true) to the matching
// hold_signals(false), for the program's own work on the heap between
// run-time calls: a signal that comes meanwhile ends the run at the end of
// the hold, so that its handler never meets the heap half changed.
void hold_signals(bool hold);

// End of the run: writes "STOP <msg> statement executed" when len > 0, exits 0.
[[noreturn]] void s_stop(const char* msg, int32_t len);
void f_exit();

}  // namespace rio

// The main program, called once by the run-time's start-up.
void MAIN__();
