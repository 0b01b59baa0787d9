// The format parser: translates a format text into operations in f__syl.
#include <algorithm>
#include <cstring>

#include "format/fmt.h"

namespace rio {

syl f__syl[kSylMax];
int32_t f__pc, f__parenlvl, f__revloc;

namespace {

// The text being parsed: literal operations keep their offset in it.
const char* parse_base;

// A copy of the text of the last successful parse (kept_len bytes, 0 when
// none), the number of its operations and the address its literal
// operations point into.
constexpr int32_t kKeptMax = 256;
char kept[kKeptMax];
int32_t kept_len, kept_ops;
const char* kept_at;

// Sets up the quick comparison of fmt_unchanged for the text just kept.
void keep_chunks() {
  f__kept.at = nullptr;
  if (kept_len < kKeptChunk || kept_len > kKeptChunk * kKeptChunks) return;
  f__kept.lead = (kept_len - 1) / kKeptChunk;
  f__kept.last = kept_len - kKeptChunk;
  for (ptrdiff_t i = 0; i < std::max(f__kept.lead, 1); ++i)
    memcpy(&f__kept.chunk[i], kept + i * kKeptChunk, kKeptChunk);
  memcpy(&f__kept.tail, kept + f__kept.last, kKeptChunk);
  f__kept.at = kept_at;
}

const char* f_list(const char* s);

inline const char* skip_blanks(const char* s) {
  while (*s == ' ') ++s;
  return s;
}

[[noreturn]] void too_complicated() {
  io_guard g;
  fputs("format too complicated:\n", stderr);
  sig_die(f__fmtbuf, 1);
}

// Appends one operation; returns its index. A 301st ends the run.
inline int32_t op_gen(int32_t a, int32_t b, int32_t c, int32_t d) {
  int32_t pc = f__pc;
  if (pc >= kSylMax) too_complicated();
  syl* p = &f__syl[pc];
  p->op = a;
  p->p1 = b;
  p->p2.i[0] = c;
  p->p2.i[1] = d;
  f__pc = pc + 1;
  return pc;
}

// Reads the digits of a number at s, blanks allowed between them.
inline const char* gt_digits(const char* s, int32_t* n) {
  int64_t v = 0;
  for (;; ++s) {
    unsigned digit = static_cast<unsigned char>(*s) - static_cast<unsigned>('0');
    if (digit <= 9) {
      v = v * 10 + digit;
      if (v > INT32_MAX) return nullptr;
    } else if (*s != ' ') {
      break;
    }
  }
  *n = static_cast<int32_t>(v);
  return s;
}

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Reads an unsigned decimal number, blanks allowed anywhere in it. Without a
// digit, stores def and returns s, or null when def is 0. A number beyond
// 32 bits gives null.
inline const char* gt_num(const char* s, int32_t* n, int32_t def) {
  s = skip_blanks(s);
  if (!is_digit(*s)) {
    if (def == 0) return nullptr;
    *n = def;
    return s;
  }
  // Most numbers of a format are one digit.
  if (!is_digit(s[1]) && s[1] != ' ') {
    *n = *s - '0';
    return s + 1;
  }
  return gt_digits(s, n);
}

// The number of format characters that a failed parse's report shows: up to
// the parenthesis that balances the first one, at most 80, and that one.
int32_t fail_len(const char* s) {
  int32_t n = 0, depth = 0;
  for (; n < 80 && s[n] != 0; ++n) {
    if (s[n] == '(') {
      ++depth;
    } else if (s[n] == ')' && depth > 0 && --depth == 0) {
      return n + 1;
    }
  }
  return n;
}

// Returns the position after the literal whose opening delimiter is at s,
// or null (error 100, "bad string") when it has no closing delimiter.
const char* ap_end(const char* s) {
  char quote = *s++;
  for (;; ++s) {
    if (*s == 0) {
      f__fmtlen = fail_len(f__fmtbuf);
      f__error(f__elist->err, 100, "bad string");
      return nullptr;
    }
    if (*s == quote) {
      if (s[1] != quote) return s + 1;
      ++s;
    }
  }
}

// A parenthesised list whose operations restart at curloc.
const char* f_s(const char* s, int32_t curloc) {
  s = skip_blanks(s);
  if (*s++ != '(') return nullptr;
  if (f__parenlvl++ == 1) f__revloc = curloc;
  if (f__parenlvl > kMaxParenDepth) return nullptr;
  op_gen(GROUP_START, curloc, 0, 0);
  return f_list(s);
}

// A non-data item: a quoted literal. Sets *matched when s starts one.
const char* ne_d(const char* s, bool* matched) {
  *matched = false;
  if (*s != '\'' && *s != '"' && *s != '\x02') return s;
  *matched = true;
  const char* e = ap_end(s);
  if (e == nullptr) return nullptr;
  syl* p = &f__syl[op_gen(QUOTED_TEXT, static_cast<int32_t>(s - parse_base), 0, 0)];
  p->p2.s = s;
  return e;
}

// A data item Fw.d or Ew.d with its repeat count; a width of 0 is refused.
const char* e_d(const char* s, int32_t count) {
  int32_t code;
  switch (*s) {
    case 'F':
    case 'f':
      code = F_FIELD;
      break;
    case 'E':
    case 'e':
      code = E_FIELD;
      break;
    default:
      return nullptr;
  }
  int32_t w, d;
  s = gt_num(s + 1, &w, 0);
  if (s == nullptr || w == 0 || *s != '.') return nullptr;
  s = gt_num(s + 1, &d, 0);
  if (s == nullptr) return nullptr;
  op_gen(REPEAT, count, 0, 0);
  op_gen(code, w, d, 0);
  return s;
}

// One item: a group, a literal or a data descriptor, with a repeat count.
const char* i_tem(const char* s) {
  int32_t count;
  s = gt_num(s, &count, 1);
  if (s == nullptr) return nullptr;
  if (*s == '(') return f_s(s, op_gen(REPEAT, count, 0, 0));
  bool matched;
  const char* e = ne_d(s, &matched);
  if (matched) return e;
  return e_d(s, count);
}

// The items of a list, up to and including its closing parenthesis.
const char* f_list(const char* s) {
  for (;;) {
    s = i_tem(s);  // which skips the blanks in front of the item
    if (s == nullptr) return nullptr;
    s = skip_blanks(s);
    if (*s == ',') {
      ++s;
      continue;
    }
    if (*s != ')') return nullptr;
    if (--f__parenlvl == 0) {
      op_gen(FORMAT_END, f__revloc, 0, 0);
      return s + 1;
    }
    op_gen(GROUP_END, 0, 0, 0);
    return s + 1;
  }
}

}  // namespace

// Parses the format text s into f__syl; returns 0, or -1 when s is no
// valid format.
int pars_f(const char* s) {
  kept_len = f__planlen = 0;
  f__kept.at = nullptr;
  forget_again();  // no repeat of a statement on the operations replaced
  parse_base = s;
  f__pc = f__revloc = f__parenlvl = 0;
  const char* e = f_s(s, 0);
  if (e == nullptr) {
    f__fmtlen = fail_len(s);
    return -1;
  }
  f__fmtlen = static_cast<int32_t>(e - s);
  if (f__fmtlen <= kKeptMax) {
    memcpy(kept, s, static_cast<size_t>(f__fmtlen));
    kept_len = f__fmtlen;
    kept_ops = f__pc;
    kept_at = s;
    keep_chunks();
  }
  fmt_plan();
  return 0;
}

kept_chunks f__kept;

// fmt_unchanged for a text that the quick comparison does not take: one
// elsewhere, or a kept text too short or too long for its chunks. Compared up
// to a NUL, so that a shorter text is never read past its end. When the text
// has moved, the literal operations are pointed at the new one.
[[gnu::noinline]] bool fmt_unchanged_apart(const char* s) {
  if (kept_len == 0 || strncmp(s, kept, static_cast<size_t>(kept_len)) != 0) return false;
  if (s != kept_at) {
    for (int32_t i = 0; i < kept_ops; ++i) {
      syl* p = &f__syl[i];
      if (p->op == QUOTED_TEXT) p->p2.s = s + p->p1;
    }
    kept_at = s;
    keep_chunks();
  }
  f__fmtlen = kept_len;
  return true;
}

}  // namespace rio
