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

// Writes as sys::write does, whole records at a time in pieces of at most
// sys::kWhole bytes (a longer record alone), so that a pipe or a FIFO whose
// writes are ended by a signal holds whole records only.
int in_pieces(int fd, const char* p, uint32_t n, const uint32_t* ends, uint32_t nrec,
              size_t* done) {
  uint32_t from = 0;
  for (uint32_t i = 0; i < nrec && from < n;) {
    uint32_t to = ends[i++];
    while (i < nrec && ends[i] - from <= sys::kWhole) to = ends[i++];
    size_t d = 0;
    int e = sys::write(fd, p + from, to - from, &d, noted);
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
// to the system. Returns 0 or an error (unitbuf_put's); on an error the file
// ends after the last record that the system took whole, or the error says
// that it could not be cut there. The unit counts where its file stands, so
// that the cut needs no question to the system.
int hand_over(unitbuf& b, int fd, const char* p, uint32_t n, const uint32_t* ends, uint32_t nrec) {
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
    e = b.pieces ? in_pieces(fd, p, n, ends, nrec, &done) : sys::write(fd, p, n, &done, noted);
    if (yielded) f__restatus();
  }
  if (e == 0) {
    if (b.at >= 0) b.at += sys::stored(p, n);
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
    return hand_over(b, sys::fd_of(x->stream), p, n, &n, 1);
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
  int e = hand_over(b, sys::fd_of(x->stream), b.data, b.len, b.ends, b.nrec);
  b.len = b.nrec = 0;
  return e;
}

void unitbuf_free(unitrec* x) {
  unitbuf& b = x->out;
  free(b.data);
  b = unitbuf{};
}

}  // namespace rio
