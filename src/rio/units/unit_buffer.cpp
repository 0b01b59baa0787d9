// Each unit's output buffer: records gathered whole, handed to the system in
// one write per buffer, and cut after the last whole record when the system
// takes only part of a write.
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

namespace {

bool noted() { return f__noted(); }

// How long the end of the run waits for standard output's reader to take
// something: console lines still reach a pipe or a FIFO whose reader is slow
// (a pager, a reader that is busy for a moment), and one that takes nothing
// for this long ends the wait. A second signal ends it at once.
constexpr int kPatienceMs = 2000;

bool signal_noted() { return f__sigpend != 0; }

// The patience of x's writes: kPatienceMs for standard output on a pipe or a
// FIFO once the run is ending; otherwise -1, no limit, as a noted signal or
// the end ends their waits at once (a terminal's and a FIFO file's too).
int patience_of(const unitrec* x) {
  return f__dying != 0 && x == &f__units[6] && x->seekable != 0 && x->out.pieces ? kPatienceMs : -1;
}

// Where a hand-over writes: the descriptor, and how long a wait for room
// there may see none (patience_of).
struct target {
  int fd;
  int patience;
};

// Writes as sys::write does, to t.
int write_to(target t, const char* p, size_t n, size_t* done) {
  return sys::write(t.fd, p, n, done, t.patience < 0 ? noted : signal_noted, t.patience);
}

// Writes as write_to does, whole records at a time in pieces of at most
// sys::kWhole bytes (a longer record alone), so that a pipe or a FIFO whose
// writes are ended by a signal holds whole records only.
int in_pieces(target t, const char* p, uint32_t n, const uint32_t* ends, uint32_t nrec,
              size_t* done) {
  uint32_t from = 0;
  for (uint32_t i = 0; i < nrec && from < n;) {
    uint32_t to = ends[i++];
    while (i < nrec && ends[i] - from <= sys::kWhole) to = ends[i++];
    size_t d = 0;
    int e = write_to(t, p + from, to - from, &d);
    if (e != 0) {
      *done = from + d;
      return e;
    }
    from = to;
  }
  *done = n;
  return 0;
}

// Hands n characters holding nrec whole records, the i-th ending at ends[i],
// to unit x's file, waiting for room as patience_of says. Returns 0 or an
// error (unitbuf_put's), with *taken the characters that the system took; on
// an error the file ends after the last record that the system took whole,
// or the error says that it could not be cut there. The unit counts where
// its file stands, so that the cut needs no question to the system.
int hand_over(unitrec* x, const char* p, uint32_t n, const uint32_t* ends, uint32_t nrec,
              size_t* taken) {
  unitbuf& b = x->out;
  const target t{sys::fd_of(x->stream), patience_of(x)};
  const int fd = t.fd;
  *taken = 0;
  assert_signals_held();
  if (b.fresh) {
    // The run's first record reaches the file: an older, longer file is cut
    // here, so that the file never mixes two runs. Where the file stands or
    // how long it is must be known for that.
    b.fresh = false;
    int64_t length = 0;
    if (sys::place(fd, &b.at, &length) != 0) return kCutFailed;
    if (length > b.at && sys::cut(fd, b.at) != 0) return kCutFailed;
  }
  size_t done = 0;
  int e = 0;
  {
    // A write that may wait for fd's reader. A status line on a terminal
    // gives way to the unit's records there, and comes back after them.
    waiting_on w(fd);
    bool yielded = b.eager && f__status_yield(fd);
    e = b.pieces ? in_pieces(t, p, n, ends, nrec, &done) : write_to(t, p, n, &done);
    if (yielded) f__restatus();
  }
  if (e == 0) {
    if (b.at >= 0) b.at += sys::stored(p, n);
    *taken = n;
    return 0;
  }
  uint32_t keep = 0;
  for (uint32_t i = nrec; i > 0 && keep == 0; --i)
    if (ends[i - 1] <= done) keep = ends[i - 1];
  // Where this write began: a standard unit does not count, as it may share
  // its file with another, and asks the system.
  int64_t at = b.at;
  bool regular = at >= 0 || sys::is_regular(fd);
  if (at < 0 && regular && (at = sys::tell(fd)) >= 0) at -= sys::stored(p, done);
  if (keep < done && regular) {
    // Part of a record reached the file: it is cut off, or, where the file
    // still holds it, the error says so.
    int64_t end = at + sys::stored(p, keep), length = -1;
    if (at >= 0 &&
        (sys::cut(fd, end) == 0 || (sys::place(fd, &end, &length) == 0 && length == end)))
      done = keep;
    else
      e |= kUncut;
  }
  if (b.at >= 0) b.at += sys::stored(p, done);
  *taken = done;
  return e;
}

}  // namespace

bool f__closed;

void unitbuf_start(unitrec* x, bool fresh, int64_t at) {
  unitbuf& b = x->out;
  // seekable only says that the stream is no terminal (f__canseek): it is 1
  // for a pipe or a FIFO too, whose records are not eager.
  b.eager = x->seekable == 0 || x->stream == stderr || f__closed;
  b.open = b.eager ? 0 : b.cap;
  b.fresh = fresh;
  b.at = at;
}

namespace {

// Drops the first n characters that b holds, and the records that end
// within them.
void keep_from(unitbuf& b, uint32_t n) {
  uint32_t first = 0;
  while (first < b.nrec && b.ends[first] <= n) ++first;
  memmove(b.data, b.data + n, b.len - n);
  for (uint32_t i = first; i < b.nrec; ++i) b.ends[i - first] = b.ends[i] - n;
  b.len -= n;
  b.nrec -= first;
}

// Makes the buffer of cap characters and recs records, the old one's
// content dropped (it is empty). Keeps the old one when there is no memory.
void make_buffer(unitbuf& b, uint32_t cap, uint32_t recs) {
  char* data = static_cast<char*>(malloc(cap + size_t{recs} * sizeof(uint32_t)));
  if (data == nullptr) return;
  free(b.data);
  b.data = data;
  b.ends = reinterpret_cast<uint32_t*>(data + cap);
  b.cap = cap;
  b.recs = recs;
  b.open = b.eager ? 0 : cap;
}

// unitbuf_put when the record does not fit what the buffer has left, or the
// buffer is still to be made. A regular file that has had kUnitBufLarge
// bytes takes the larger buffer at the first write after that.
[[gnu::noinline]] int put_slowly(unitrec* x, const char* p, uint32_t n) {
  io_guard g;
  unitbuf& b = x->out;
  if (b.len + static_cast<uint64_t>(n) > b.cap || b.nrec == b.recs)
    if (int e = unitbuf_flush(x)) return e;
  if (b.data == nullptr && n <= kUnitBuf) make_buffer(b, kUnitBuf, kUnitRecs);
  if (b.len == 0 && b.cap < kUnitBufLarge && !b.pieces && !b.eager && b.at >= kUnitBufLarge)
    make_buffer(b, kUnitBufLarge, kUnitRecsLarge);
  if (b.data == nullptr || n > b.cap) {
    // A record longer than the buffer, or no buffer to be had: the record
    // goes on its own.
    size_t taken = 0;
    return hand_over(x, p, n, &n, 1, &taken);
  }
  memcpy(b.data + b.len, p, n);
  b.len += n;
  b.ends[b.nrec++] = b.len;
  return b.eager ? unitbuf_flush(x) : 0;
}

}  // namespace

int unitbuf_put(unitrec* x, const char* p, uint32_t n) {
  unitbuf& b = x->out;
  if (b.data == nullptr || b.len + static_cast<uint64_t>(n) > b.cap || b.nrec == b.recs || b.eager)
    return put_slowly(x, p, n);
  // A handler that ends the run meanwhile writes what len counts: the record
  // counts once it is whole.
  memcpy(b.data + b.len, p, n);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  b.len += n;
  b.ends[b.nrec++] = b.len;
  return 0;
}

int unitbuf_flush(unitrec* x) {
  unitbuf& b = x->out;
  if (b.len == 0) return 0;
  size_t taken = 0;
  int e = hand_over(x, b.data, b.len, b.ends, b.nrec, &taken);
  if (e == EINTR) {
    // A signal ended the wait for room: what the system did not take stays,
    // for the end of the run to write.
    keep_from(b, static_cast<uint32_t>(taken));
    return e;
  }
  b.len = b.nrec = 0;
  return e;
}

void unitbuf_free(unitrec* x) {
  unitbuf& b = x->out;
  free(b.data);
  b = unitbuf{};
}

}  // namespace rio
