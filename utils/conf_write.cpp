// conf_set: replacing (or adding) one key of a key=value file, atomically.
//
// The new content is streamed into a uniquely named temporary file in the
// folder of the target, flushed with fsync and renamed over the target; the
// folder is fsynced afterwards so the rename itself survives a power cut.
// Any failure before the rename unlinks the temporary file and leaves the
// target untouched. Writers of the same process are serialised by a mutex,
// writers of different processes (that use this library) by an flock on the
// folder, so no update is lost; readers never lock, they see the old or the
// new file because rename replaces it in one step.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/conf_internal.h"
#include "utils/utils.h"

namespace {

using camnet_utils::conf_key_valid;
using camnet_utils::KeyMatcher;

// Longest path conf_set handles (the target after following symbolic links,
// and the name of its temporary file). Longer paths make conf_set fail.
constexpr size_t kPathMax = 1024;
constexpr int kMaxSymlinks = 16;

pthread_mutex_t g_write_mutex = PTHREAD_MUTEX_INITIALIZER;
unsigned g_temp_counter = 0;  // guarded by g_write_mutex

bool copy_text(char *dst, size_t cap, const char *src, size_t len) {
  if (len >= cap) return false;
  memcpy(dst, src, len);
  dst[len] = '\0';
  return true;
}

// Follows symbolic links so that the file they point at is replaced, not the
// link (as fopen(path, "w") would do). A missing final file is fine.
bool resolve_target(const char *path, char *out, size_t cap) {
  if (!copy_text(out, cap, path, strlen(path))) {
    errno = ENAMETOOLONG;
    return false;
  }
  for (int hops = 0; hops < kMaxSymlinks; ++hops) {
    struct stat st;
    if (lstat(out, &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    char link[kPathMax];
    const ssize_t n = readlink(out, link, sizeof link);
    if (n < 0) return false;
    if (static_cast<size_t>(n) >= sizeof link) {
      errno = ENAMETOOLONG;
      return false;
    }
    link[n] = '\0';
    if (link[0] == '/') {
      if (!copy_text(out, cap, link, static_cast<size_t>(n))) return false;
      continue;
    }
    const char *slash = strrchr(out, '/');
    const size_t dir_len = slash == nullptr ? 0 : static_cast<size_t>(slash - out) + 1;
    if (dir_len + static_cast<size_t>(n) >= cap) {
      errno = ENAMETOOLONG;
      return false;
    }
    memcpy(out + dir_len, link, static_cast<size_t>(n) + 1);
  }
  errno = ELOOP;
  return false;
}

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

int fsync_retry(int fd) {
  while (fsync(fd) != 0) {
    if (errno != EINTR) return -1;
  }
  return 0;
}

int set_locked(const char *path, const char *key, size_t key_len, const char *value) {
  char target[kPathMax];
  if (!resolve_target(path, target, sizeof target)) return -1;

  // The folder and the base name of the target.
  char dir[kPathMax];
  const char *slash = strrchr(target, '/');
  const char *base = target;
  if (slash == nullptr) {
    memcpy(dir, ".", 2);
  } else {
    base = slash + 1;
    const size_t dir_len = slash == target ? 1 : static_cast<size_t>(slash - target);
    memcpy(dir, target, dir_len);
    dir[dir_len] = '\0';
  }
  if (*base == '\0') {
    errno = EISDIR;
    return -1;
  }

  // The folder, for the lock and for making the rename durable. A folder we
  // may write but not read (mode -wx) still takes the file, unlocked.
  const int dir_fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0 && errno != EACCES) return -1;
  // Serialise with writers in other processes. Without flock support the
  // write still is atomic; only concurrent updates of two processes could
  // then lose one of them.
  while (dir_fd >= 0 && flock(dir_fd, LOCK_EX) != 0 && errno == EINTR) {
  }

  int result = -1;
  int err = 0;
  char temp[kPathMax];
  int tmp_fd = -1;
  const int in = open(target, O_RDONLY | O_CLOEXEC);
  struct stat st;
  bool have_old = false;
  if (in < 0) {
    err = errno;
    if (err != ENOENT) goto out;  // exists but unreadable: never clobber it
    err = 0;
  } else if (fstat(in, &st) != 0) {
    err = errno;
    goto out;
  } else if (!S_ISREG(st.st_mode)) {
    err = EINVAL;
    goto out;
  } else {
    have_old = true;
  }

  // A unique temporary name in the same folder: pid and a counter, and
  // O_EXCL in case a stale file of a crashed writer is in the way.
  for (int attempt = 0; attempt < 100 && tmp_fd < 0; ++attempt) {
    const unsigned counter = g_temp_counter++;
    const int n = snprintf(temp, sizeof temp, "%s/.%.64s.%ld.%u.tmp", dir, base,
                           static_cast<long>(getpid()), counter);
    if (n < 0 || static_cast<size_t>(n) >= sizeof temp) {
      err = ENAMETOOLONG;
      goto out;
    }
    // A new file gets 0666 less the umask, as fopen would give it; a
    // replaced one gets the old file's mode and owner below.
    tmp_fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, have_old ? 0600 : 0666);
    if (tmp_fd < 0 && errno != EEXIST) {
      err = errno;
      goto out;
    }
  }
  if (tmp_fd < 0) {
    err = EEXIST;
    goto out;
  }

  {
    if (have_old) {
      if (fchmod(tmp_fd, st.st_mode & 07777) != 0) err = errno;
      if (err == 0 && (st.st_uid != geteuid() || st.st_gid != getegid())) {
        if (fchown(tmp_fd, st.st_uid, st.st_gid) != 0) {
          // Not allowed to keep the owner: keep the mode, ignore the owner.
        }
      }
    }
    Output output(tmp_fd);
    if (err == 0) err = rewrite(in, output, key, key_len, value);
    if (err == 0 && !output.flush()) err = output.error();
    if (err == 0 && fsync_retry(tmp_fd) != 0) err = errno;
    if (close(tmp_fd) != 0 && err == 0) err = errno;
    tmp_fd = -1;
    if (err == 0 && rename(temp, target) != 0) err = errno;
    if (err != 0) {
      unlink(temp);
    } else {
      if (dir_fd >= 0) fsync_retry(dir_fd);  // make the rename durable; nothing to undo if not
      result = 0;
    }
  }

out:
  if (in >= 0) close(in);
  if (dir_fd >= 0) close(dir_fd);  // releases the flock
  if (result != 0) errno = err != 0 ? err : errno;
  return result;
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
  const int result = set_locked(path, key, key_len, value);
  const int saved = errno;
  pthread_mutex_unlock(&g_write_mutex);
  errno = saved;
  return result;
}
