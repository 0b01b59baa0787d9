// Formatted records: the operation codes of a parsed format, the parser and
// interpreter state, and the field writers.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal.h"

namespace rio {

// Operation codes. Only those that the parser produces are named; the codes
// of the other descriptors are reserved.
enum : int32_t {
  GROUP_START = 1,  // p1: restart index
  FORMAT_END = 2,   // p1: reversion index
  GROUP_END = 3,
  REPEAT = 6,        // p1: count
  QUOTED_TEXT = 11,  // p1: its offset in the format text, p2.s: opening delimiter
  F_FIELD = 23,      // p1: w, p2.i[0]: d
  E_FIELD = 24,      // p1: w, p2.i[0]: d, p2.i[1]: exponent width (0: two digits)
};

// Classes returned by type_f.
enum : int32_t { DATA_EDIT = 8, NONDATA_EDIT = 9 };

constexpr int32_t kSylMax = 300;   // operations of one format
constexpr int32_t kStackMax = 10;  // entries of each interpreter stack
// Deepest parenthesis nesting, outer pair included, that the stacks can run:
// each inner group holds one entry of each stack and a data descriptor one
// more repeat count, beside the base entries.
constexpr int32_t kMaxParenDepth = kStackMax - 1;

extern syl f__syl[kSylMax];
extern int32_t f__pc, f__parenlvl, f__revloc;
extern int32_t f__cnt[kStackMax], f__ret[kStackMax], f__cp, f__rp;
extern int32_t f__workdone;

// Parser. pars_f always parses afresh; fmt_unchanged tells whether s is the
// text of the last successful parse, whose operations then serve again.
int pars_f(const char* s);
bool fmt_unchanged_apart(const char* s);

// The kept text of the last parse in 16-byte chunks, for its comparison at
// the same address: lead whole chunks from its start (the first one even
// when lead is 0), then the chunk that ends with its last byte (last: its
// offset), which may overlap them. at is
// null when the text is shorter than one chunk or longer than kKeptChunks.
using chunk16 = uint64_t __attribute__((vector_size(16)));
constexpr int32_t kKeptChunk = 16, kKeptChunks = 4;
struct kept_chunks {
  chunk16 tail;
  chunk16 chunk[kKeptChunks - 1];
  const char* at;
  int32_t lead, last;
};
extern kept_chunks f__kept;

inline chunk16 load16(const char* p) {
  chunk16 v;
  memcpy(&v, p, sizeof v);
  return v;
}

// Byte by byte, whether two chunks agree: all ones where they do, 0 where not.
using bytes16 = char __attribute__((vector_size(16)));
inline bytes16 same_bytes(chunk16 a, chunk16 b) {
  return reinterpret_cast<bytes16>(a) == reinterpret_cast<bytes16>(b);
}
// Whether every byte of m is all ones: one mask of the bytes' top bits where
// the machine has one.
inline bool all_set(bytes16 m) {
#if defined(__SSE2__)
  return __builtin_ia32_pmovmskb128(m) == 0xFFFF;
#else
  const auto w = reinterpret_cast<chunk16>(m);
  return (w[0] & w[1]) == ~uint64_t{0};
#endif
}

// Whether s holds the text of the last successful parse, so that the
// operations in f__syl are those pars_f would build from it again. The parser
// reads a valid format up to its closing parenthesis and never beyond, so
// equal bytes up to there give equal operations. A text at the place of the
// last one, changed there or not, has its bytes compared over the parsed
// length, a chunk at a time (fmt_same_here): that place held them when
// they were parsed, and a format text stays where it is.
inline bool fmt_same_here(const char* s) {
  assert(s == f__kept.at);
  // The first chunk is kept whatever lead is, so that it needs no test.
  bytes16 eq =
      same_bytes(load16(s), f__kept.chunk[0]) & same_bytes(load16(s + f__kept.last), f__kept.tail);
  for (ptrdiff_t i = 1; i < f__kept.lead; ++i)
    eq &= same_bytes(load16(s + i * kKeptChunk), f__kept.chunk[i]);
  return all_set(eq);
}
// fmt_same_here, the text's length set for the reports.
inline bool fmt_unchanged_here(const char* s) {
  f__fmtlen = f__kept.last + kKeptChunk;
  return fmt_same_here(s);
}
inline bool fmt_unchanged(const char* s) {
  return s == f__kept.at ? fmt_unchanged_here(s) : fmt_unchanged_apart(s);
}

// The plan of the parsed format (fmt_plan): the literals, fields and
// reversions that the interpreter carries out, in order, each step with the
// one after it (after the last, the plan goes on where every later pass
// repeats). f__planlen is 0 when the format has no plan. f__step is the
// statement's step in it, or the one at kNoPlan when the statement runs the
// general interpreter; setting f__fmtref makes every statement do so, to
// compare the two.
enum : uint8_t {
  STEP_NONE,     // no plan: the step at kNoPlan, which no format lays out
  STEP_LITERAL,  // a literal of at most eight characters without a doubled
                 // delimiter: text holds them, lowest first, len their number
  STEP_TEXT,     // any other literal, written by wrt_AP
  STEP_SHORT_F,  // an F field that the short path may write (d < w <= 16, d <= 7),
                 // after the short literal in text and len, if len > 0
  STEP_SHORT_E,  // likewise an E field (d + 5 <= w <= 16, 0 < d <= 8, two
                 // exponent digits)
  STEP_FIELD,    // any other F or E field, written by its writer
  STEP_REVERT,   // the format's end, from where the format reverts
};
// Where the parts of a short step go, in columns from the step's start: the
// step's literal takes its first len columns, its Fw.d or Ew.d field the w
// after them. short_layout (short_field.h) is the same layout from a field's
// own start, which layout_of (quick_path.cpp) rebuilds from this one.
struct step_layout {
  // The field's point, with d digits after it (then "E+xx" for E):
  // point = len + w - d - 1 for F, len + w - d - 5 for E.
  uint8_t point;
  // The right shift, in bits, that keeps the last d of the eight digits of
  // digits8 (one byte each, the most significant lowest):
  // shift = 8 * (8 - d).
  uint8_t shift;
  // Where the first of those eight digits would go, were all of them
  // written, so that their last d follow the point: first = point - (8 - d),
  // that is len + w - 9 for F and len + w - 13 for E; may be negative.
  int8_t first;
  // The step's end, as a field fills its width: end = len + w.
  uint8_t end;
};

struct plan_step {
  uint8_t kind;
  uint8_t len;      // the short literal's characters, in text (0: none)
  int16_t op;       // its operation in f__syl
  int16_t w, d, e;  // a short field's width, digits and exponent digits
  step_layout at;   // a short field's layout, from the step's start
  const plan_step* next;
  uint64_t text;  // the short literal's characters, the first in the lowest byte
  // The bounds below which a short F field's text fits, its leading zero
  // included, for the value v = x * 10^d rounded: fits[0] for a positive
  // value (v < fits[0]), fits[1] for a negative one (v - 1 < fits[1], so that
  // a negative value that rounds to zero does not pass). With cols = w - d - 1
  // - sign the columns left before the point for the sign and the integer
  // digits, fits[sign] = 10^min(d + cols, 8) - sign, or 0 when cols < 1; at
  // most 10^8, whose digits the quick path converts.
  uint32_t fits[2];
  // A short F field's lowest bit of its last integer digit in the eight digits
  // of digits8, 1 << (shift - 8), where the count of leading zeros stops.
  uint64_t int_stop;
  // The short literal's characters, then the newline that ends a record at
  // the step and a NUL: what a planned statement's end stores (plan_end).
  chunk16 end_text;
  // A short E field's first kShort columns up to its point (short_E_head),
  // without and with its minus sign; all zero bytes for a sign that does not
  // fit.
  chunk16 e_head[2];
};
constexpr int32_t kPlanMax = 64, kNoPlan = kPlanMax;
extern plan_step f__plan[kPlanMax + 1];
extern int32_t f__planlen;
extern const plan_step* f__step;
extern bool f__fmtref;
void fmt_plan();

// The class of an operation code: data and non-data descriptors map to one
// class each, control codes to themselves.
inline int32_t type_f(int32_t n) {
  constexpr int32_t D = DATA_EDIT, N = NONDATA_EDIT;
  static constexpr int32_t kClass[64] = {
      0,  1,  2,  3,  N,  N,  6,  D,  8,  9,  D,  N,  N,  N,  N,  N,  N,  N,  N,  N,  N,  N,
      N,  D,  D,  D,  D,  D,  D,  D,  D,  D,  D,  D,  N,  D,  D,  37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return (n & ~63) == 0 ? kClass[n] : n;
}

// The walk through groups and repeat counts, which the general interpreter
// and the plan's layout share: pc is the operation, cnt and ret the stacks
// of repeat counts and of the groups' restart indices, cp and rp their tops.
struct fmt_walk {
  int32_t* cnt;
  int32_t* ret;
  int32_t pc, cp, rp;

  // Carries out q, the operation at pc, when it sets a repeat count, opens a
  // group or closes one (the group then runs again from its restart index,
  // or is done): true when q was one of these.
  bool group(const syl& q) {
    if (q.op == REPEAT) {
      cnt[++cp] = q.p1;
      ++pc;
    } else if (q.op == GROUP_START) {
      ret[++rp] = q.p1;
      ++pc;
    } else if (q.op == GROUP_END) {
      const bool again = --cnt[cp] > 0;
      pc = again ? 1 + ret[rp] : pc + 1;
      cp -= again ? 0 : 1;
      --rp;
    } else {
      return false;
    }
    return true;
  }
  // At a data descriptor: true, the walk moved past it, when its repeat
  // count is used up.
  bool spent() {
    if (cnt[cp] > 0) return false;
    --cp;
    ++pc;
    return true;
  }
  // The data descriptor at pc takes a value: one repetition less.
  void take() { --cnt[cp]; }
  // At the format's end: the walk goes on from the reversion index at, with
  // its stacks empty.
  void revert(int32_t at) {
    cp = rp = 0;
    pc = at;
  }
};

// Interpreter.
bool fmt_bg();
int32_t en_fio();
int32_t c_sfe(const cilist* a);
int w_ed(const syl* p, const char* ptr, int32_t len);
int w_ned(const syl* p);
int xw_end();
int xw_rev();

// 10^0..10^19, and the same as doubles (each exact).
extern const uint64_t f__pow10[20];
inline constexpr double f__pow10d[20] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                         1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                         1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
// f__scaled by 128-bit integer arithmetic.
bool f__scaled_exact(double x, int32_t d, uint64_t* out);

// Computes x * 10^d rounded to the nearest integer, ties to even, when that
// needs no exact arithmetic: false when the product is 2^32 or above or next
// to a half. Below 2^32 the rounded product y is within 2^-22 of the exact
// one P. Adding 2^32 + 1/2 rounds y + 1/2 to the unit 2^-20 of [2^32, 2^33),
// within 2^-21, so the sum's low 52 bits are (P + 1/2) 2^20 within 3/4: unless
// its low 20 bits are 0 (next to a half), the bits above them are P's nearest.
// For x >= 0 and d <= 19.
inline bool f__scaled_near(double x, int32_t d, uint64_t* out) {
  double y = x * f__pow10d[d];
  if (!(y < 4294967296.0)) return false;
  const uint64_t z = std::bit_cast<uint64_t>(y + (4294967296.0 + 0.5));
  // Bits 20 to 51 are that nearest (the exponent's bits lie above them); a
  // sum of 2^33 (P just below 2^32) has its low 20 bits 0.
  *out = static_cast<uint32_t>(z >> 20);
  return (z & 0xFFFFF) != 0;
}

// Computes x * 10^d rounded to the nearest integer, ties to even, exactly,
// for x >= 0. Returns false when x or d is too large for 64 bits of result.
inline bool f__scaled(double x, int32_t d, uint64_t* out) {
  if (d > 19) return false;
  return f__scaled_near(x, d, out) || f__scaled_exact(x, d, out);
}

// Field writers: each puts exactly its field's characters into the record
// buffer. F and E fields make room for the whole field at once (x_room) and
// say where it ends (x_done); literals store through x_putc.
int wrt_F(const char* ptr, int32_t w, int32_t d, int32_t len);
int wrt_E(const char* ptr, int32_t w, int32_t d, int32_t e, int32_t len);
int wrt_AP(const char* s);

}  // namespace rio
