// Connecting a unit to a file.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "platform/sys.h"

namespace rio {

// Stream modes, indexed by `formatted`, plus 2 for reading and writing.
const char* const f__r_mode[2] = {"rb", "r"};
const char* const f__w_mode[4] = {"wb", "w", "r+b", "r+"};

namespace {

bool starts(const char* s, char c) { return s != nullptr && (*s == c || *s == c - 'a' + 'A'); }

bool exists(const char* name) { return sys::path_kind(name) != sys::kind::absent; }

bool noted() { return f__noted(); }

}  // namespace

void f__unbuffer(FILE* f, int64_t at) {
  setvbuf(f, nullptr, _IONBF, 0);
  if (at > 0) fseek(f, static_cast<long>(at), SEEK_SET);
}

// Copies the first alen characters of a up to the last non-blank one into b,
// then a NUL. b must hold alen + 1 characters.
void g_char(const char* a, int32_t alen, char* b) {
  int32_t n = alen;
  while (n > 0 && a[n - 1] == ' ') --n;
  memcpy(b, a, static_cast<size_t>(n));
  b[n] = 0;
}

namespace {

// Whether an open of a connected unit names the file it is connected to.
bool same_file(const unitrec* b, const olist* a) {
  return a->file == nullptr ||
         (b->name != nullptr && static_cast<size_t>(a->filelen) == strlen(b->name) &&
          memcmp(a->file, b->name, static_cast<size_t>(a->filelen)) == 0);
}

// The file name of an open, on the heap: the given name without trailing
// blanks, or "fort.<unit>". Null after an empty name, reported under a's err.
char* file_name(const olist* a) {
  if (a->file == nullptr) {
    char* name = static_cast<char*>(malloc(24));
    if (name == nullptr) opn_err(113, "no space", a);
    snprintf(name, 24, "fort.%ld", static_cast<long>(a->unit));
    return name;
  }
  int32_t len = a->filelen > 0 ? a->filelen : 0;
  char* name = static_cast<char*>(malloc(static_cast<size_t>(len) + 1));
  if (name == nullptr) opn_err(113, "no space", a);
  g_char(a->file, len, name);
  if (name[0] != 0) return name;
  free(name);
  if (a->err)
    f__error(a->err, 107, "open");
  else
    opn_err(107, "open", a);
  return nullptr;
}

// Opens a file to be written from its start, as mode "w" does, for unit b,
// and holds it against other runs. What a file that was there meanwhile
// holds is cut by the first write (the unit is written and fresh), so that a
// file that another run holds is left as it is. Null, with errno set (kHeld
// when another run holds the file), when the open fails.
FILE* open_new(unitrec* b) {
  FILE* f = sys::open_uncut(b->name, f__w_mode[b->formatted]);
  if (f == nullptr) return nullptr;
  b->stream = f;
  int32_t e = f__hold(b);
  b->stream = nullptr;
  if (e == 0) return f;
  fclose(f);
  errno = e;
  return nullptr;
}

// Opens b's file: an existing file for reading and writing from its start,
// else for reading only, else a new file; sets rwmode and written. A FIFO or
// a device is opened for writing only: were the run its own reader, a reader
// that leaves would leave it waiting for ever instead of failing the write.
// Such an open waits for a reader to come, and a signal ends that wait.
FILE* open_stream(unitrec* b) {
  assert_signals_held();
  const char* name = b->name;
  FILE* f = nullptr;
  bool special = sys::path_kind(name) == sys::kind::special;
  if (!special && (f = fopen(name, f__w_mode[b->formatted + 2])) != nullptr) {
    b->rwmode = 3;
  } else if (!special && (f = fopen(name, f__r_mode[b->formatted])) != nullptr) {
    b->rwmode = 1;
  } else if ((f = special ? sys::open_special(name, noted) : open_new(b)) != nullptr) {
    b->out.pieces = special;
    b->rwmode = 2;
    b->written = 1;
  }
  return f;
}

}  // namespace

// Connects the unit of a to its file. A unit connected to another file is
// closed first; one connected to the same file only takes the blank mode.
int32_t f_open(const olist* a) {
  io_guard g;
  if (f__init != kInitialised) f_init();
  forget_again();
  f__external = 1;
  if (static_cast<uint32_t>(a->unit) >= MXUNIT) return f__error(a->err, 101, "open");
  unitrec* b = &f__units[a->unit];
  f__curunit = b;
  if (b->stream != nullptr) {
    if (same_file(b, a)) {
      if (a->blank != nullptr) b->blankzero = starts(a->blank, 'z');
      return 0;
    }
    cllist x{a->err, a->unit, nullptr};
    f_clos(&x);
  }
  b->recl = a->recl;
  b->blankzero = starts(a->blank, 'z');
  b->formatted = (a->form == nullptr && a->recl <= 0) || starts(a->form, 'f');
  char* name = file_name(a);
  if (name == nullptr) return 107;
  b->scratch = b->atend = b->written = 0;
  b->stream = nullptr;
  b->rwmode = 3;
  b->name = name;

  auto fail = [&](int32_t n, origin from) {
    if (a->err) {
      free(b->name);
      b->name = nullptr;
    }
    return f__error(a->err, n, "open", from);
  };
  // The statuses: "old" needs the file, "new" refuses it, "replace" empties
  // it, "scratch" deletes it at close; any other is "unknown".
  if (starts(a->stat, 'o') && !exists(name)) return fail(ENOENT, origin::system);
  if (starts(a->stat, 'n') && exists(name)) return fail(128, origin::runtime);
  if (starts(a->stat, 'r')) remove(name);
  if (starts(a->stat, 's')) b->scratch = 1;

  FILE* f = open_stream(b);
  if (f == nullptr) return fail(errno, origin::system);
  f__unbuffer(f, 0);
  b->stream = f;
  b->seekable = f__canseek(f);
  unitbuf_start(b, b->written != 0, 0);
  if (starts(a->access, 'a') && b->seekable && fseek(f, 0, SEEK_END) != 0)
    return f__error(a->err, 129, "open");
  return 0;
}

}  // namespace rio
