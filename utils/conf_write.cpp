// conf_set: replacing (or adding) one key of a key=value file, atomically.
//
// The new content is streamed into a uniquely named temporary file in the
// folder of the target, flushed with fsync and renamed over the target; the
// folder is fsynced afterwards so the rename itself survives a power cut
// (FileReplace, common/file_replace.h). Any failure before the rename unlinks
// the temporary file and leaves the target untouched. Writers of the same
// process are serialised by a mutex, writers of different processes (that
// use this library) by an flock on the folder, so no update is lost; readers
// never lock, they see the old or the new file because rename replaces it in
// one step.
#include <cerrno>
#include <cstddef>
#include <cstring>

#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/file_replace.h"
#include "common/unique_fd.h"
#include "utils/conf_internal.h"
#include "utils/utils.h"

namespace {

using camnet_utils::conf_key_valid;
using camnet_utils::KeyMatcher;
using camnet_utils::open_conf_file;

pthread_mutex_t g_write_mutex = PTHREAD_MUTEX_INITIALIZER;

// Buffered writer onto the temporary file; remembers the first error.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  void put(unsigned char c) {
    if (used_ == sizeof buf_) flush();
    buf_[used_++] = c;
  }
  void write(const char *s, size_t n) {
    for (size_t i = 0; i < n; ++i) put(static_cast<unsigned char>(s[i]));
  }
  bool flush() {
    size_t off = 0;
    while (off < used_ && error_ == 0) {
      const ssize_t n = ::write(fd_, buf_ + off, used_ - off);
      if (n < 0) {
        if (errno != EINTR) error_ = errno;
        continue;
      }
      off += static_cast<size_t>(n);
    }
    used_ = 0;
    return error_ == 0;
  }
  int error() const { return error_; }

 private:
  int fd_;
  unsigned char buf_[1024];
  size_t used_ = 0;
  int error_ = 0;
};

// Copies `in` (or nothing, when in < 0) to `out` with the first line of `key`
// given the new value; appends the line when the key is missing. Returns 0 or
// an errno value.
int rewrite(int in, Output &out, const char *key, size_t key_len, const char *value) {
  const size_t value_len = strlen(value);
  KeyMatcher matcher(key, key_len);
  enum { kSearching, kReplacing, kCopying } state = kSearching;
  unsigned char last = '\n';       // last byte copied from the old file
  unsigned char last_skipped = 0;  // last byte of the old value
  bool crlf = false;               // the file's first line ends in CR LF
  bool saw_line_end = false;
  unsigned char prev = 0;
  bool any = false;

  if (in >= 0) {
    unsigned char buf[1024];
    for (;;) {
      const ssize_t n = read(in, buf, sizeof buf);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) break;
      any = true;
      for (ssize_t i = 0; i < n; ++i) {
        const unsigned char c = buf[i];
        if (!saw_line_end && c == '\n') {
          saw_line_end = true;
          crlf = (prev == '\r');
        }
        prev = c;
        if (state == kReplacing) {
          if (c != '\n') {
            last_skipped = c;
            continue;
          }
          // Keep the replaced line's own line end.
          if (last_skipped == '\r') out.put('\r');
          state = kCopying;
        }
        out.put(c);
        last = c;
        if (state == kSearching && matcher.feed(c)) {
          out.write(value, value_len);
          state = kReplacing;
          last_skipped = 0;
        }
      }
      if (out.error() != 0) return out.error();
    }
  }

  if (state == kReplacing) {
    // The replaced line was the last one, without a newline.
    if (last_skipped == '\r') out.put('\r');
    return 0;
  }
  if (state == kCopying) return 0;

  // Append, in the file's line-end style; end an unterminated last line first.
  const char *eol = crlf ? "\r\n" : "\n";
  if (any && last != '\n') {
    if (last == '\r')
      out.put('\n');
    else
      out.write(eol, strlen(eol));
  }
  out.write(key, key_len);
  out.put('=');
  out.write(value, value_len);
  out.write(eol, strlen(eol));
  return 0;
}

bool value_valid(const char *value) {
  if (value == nullptr) return false;
  for (const char *p = value; *p != '\0'; ++p) {
    if (*p == '\n' || *p == '\r') return false;
  }
  return true;
}

// 0 or the errno.
int set_locked(const char *path, const char *key, size_t key_len, const char *value) {
  FileReplace file;
  int err = file.begin(path);
  if (err != 0) return err;
  // Serialise with writers in other processes, up to the rename (`file`
  // closes the folder, which releases the lock). A folder we may write but
  // not read (mode -wx) still takes the file, unlocked. Without flock
  // support the write still is atomic; only concurrent updates of two
  // processes could then lose one of them.
  while (file.folder_fd() >= 0 && flock(file.folder_fd(), LOCK_EX) != 0 && errno == EINTR) {
  }

  UniqueFd in(open_conf_file(file.target()));
  // Exists but unreadable or not a plain file: never clobber it.
  if (!in.valid() && errno != ENOENT) return errno;

  Output output(file.fd());
  err = rewrite(in.get(), output, key, key_len, value);
  if (err == 0 && !output.flush()) err = output.error();
  if (err == 0) err = file.commit();
  return err;
}

}  // namespace

extern "C" int conf_set(const char *path, const char *key, const char *value) {
  size_t key_len = 0;
  if (path == nullptr || path[0] == '\0' || !conf_key_valid(key, &key_len) ||
      !value_valid(value)) {
    errno = EINVAL;
    return -1;
  }
  pthread_mutex_lock(&g_write_mutex);
  const int err = set_locked(path, key, key_len, value);
  pthread_mutex_unlock(&g_write_mutex);
  if (err != 0) {
    errno = err;
    return -1;
  }
  return 0;
}
