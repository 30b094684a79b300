// conf_get, conf_get_space, conf_get_int: reading one key of a key=value file.
// The file is read in small chunks into a stack buffer; nothing is allocated.
#include <cerrno>
#include <climits>
#include <cstdint>

#include <fcntl.h>
#include <unistd.h>

#include "utils/conf_internal.h"
#include "utils/utils.h"

namespace {

using camnet_utils::conf_key_valid;
using camnet_utils::KeyMatcher;
using camnet_utils::open_conf_file;

// Receives the value into the caller's buffer, cut to size - 1 bytes.
struct TextSink {
  char *out;
  int cap;  // > 0
  int len = 0;
  void put(unsigned char c) {
    if (len < cap - 1) out[len++] = static_cast<char>(c);
  }
  void finish() { out[len] = '\0'; }
};

// Parses the value as a whole signed decimal int: optional '+' or '-', then
// at least one digit, nothing else, within [INT_MIN, INT_MAX].
struct IntSink {
  bool negative = false;
  bool digits = false;
  bool bad = false;
  int64_t magnitude = 0;  // marked bad once past 2^31, well before int64 could overflow
  int len = 0;
  void put(unsigned char c) {
    if (bad) return;
    if (len++ == 0 && (c == '+' || c == '-')) {
      negative = (c == '-');
      return;
    }
    if (c < '0' || c > '9') {
      bad = true;
      return;
    }
    digits = true;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > static_cast<int64_t>(INT_MAX) + 1) bad = true;
  }
  void finish() {}
  int result() const {
    if (bad || !digits) return 0;
    const int64_t v = negative ? -magnitude : magnitude;
    if (v < INT_MIN || v > INT_MAX) return 0;
    return static_cast<int>(v);
  }
};

// Streams the file once. The sink is touched only once the key is found.
// Returns 0 when the key was found and its value read to the line end, -1
// otherwise (errno tells why; ENOENT for a missing key).
template <class Sink>
int scan_value(const char *path, const char *key, bool whole_line, Sink &sink) {
  size_t key_len = 0;
  if (path == nullptr || !conf_key_valid(key, &key_len)) {
    errno = EINVAL;
    return -1;
  }
  const int fd = open_conf_file(path);
  if (fd < 0) return -1;

  KeyMatcher matcher(key, key_len);
  unsigned char buf[512];
  bool matched = false;
  bool pending_cr = false;  // a CR that ends the line if LF or EOF follows
  bool done = false;
  bool failed = false;
  int saved_errno = 0;
  while (!done) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed = true;
      saved_errno = errno;
      break;
    }
    if (n == 0) {
      done = matched;  // end of file ends the value line too
      break;
    }
    for (ssize_t i = 0; i < n; ++i) {
      const unsigned char c = buf[i];
      if (!matched) {
        matched = matcher.feed(c);
        continue;
      }
      if (c == '\n') {
        done = true;
        break;
      }
      if (pending_cr) {
        pending_cr = false;
        sink.put('\r');
      }
      if (c == '\r') {
        pending_cr = true;
        continue;
      }
      if (!whole_line && (c == ' ' || c == '\t')) {
        done = true;
        break;
      }
      sink.put(c);
    }
  }
  close(fd);
  if (matched) sink.finish();  // even after a read error: keep it terminated
  if (done) return 0;
  errno = failed ? saved_errno : ENOENT;
  return -1;
}

int get_text(const char *path, const char *key, char *value, int size, bool whole_line) {
  if (value == nullptr || size <= 0) {
    errno = EINVAL;
    return -1;
  }
  TextSink sink{value, size};
  return scan_value(path, key, whole_line, sink);
}

}  // namespace

extern "C" int conf_get(const char *path, const char *key, char *value, int size) {
  return get_text(path, key, value, size, false);
}

extern "C" int conf_get_space(const char *path, const char *key, char *value, int size) {
  return get_text(path, key, value, size, true);
}

extern "C" int conf_get_int(const char *path, const char *key) {
  IntSink sink;
  if (scan_value(path, key, false, sink) != 0) return 0;
  return sink.result();
}
