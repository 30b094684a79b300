// Internal to the utility library: the line rules shared by the readers
// (conf_read.cpp) and the writer (conf_write.cpp). See utils.h for the rules
// themselves.
#ifndef CAMNET_UTILS_CONF_INTERNAL_H
#define CAMNET_UTILS_CONF_INTERNAL_H

#include <cerrno>
#include <cstddef>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace camnet_utils {

// Opens an existing configuration file for reading: a descriptor, or -1
// with errno. Only a regular file is taken (EINVAL otherwise): a FIFO or
// device at the path would block the open or the reads, and with them every
// reader and writer of the folder. The open itself never waits.
inline int open_conf_file(const char *path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  int err = 0;
  if (fstat(fd, &st) != 0) {
    err = errno;
  } else if (!S_ISREG(st.st_mode)) {
    err = EINVAL;
  }
  if (err != 0) {
    close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

// A key the library accepts: not empty, no '=', no line break (LF or CR),
// and not starting with '#' (such a key could only name a comment line).
inline bool conf_key_valid(const char *key, size_t *len_out) {
  if (key == nullptr || key[0] == '\0' || key[0] == '#') return false;
  size_t n = 0;
  for (; key[n] != '\0'; ++n) {
    if (key[n] == '=' || key[n] == '\n' || key[n] == '\r') return false;
  }
  *len_out = n;
  return true;
}

// Finds, byte by byte, the first line whose key (the text before the line's
// first '=') equals `key` exactly. Lines starting with '#' never match; lines
// without '=' never match. feed() returns true for the '=' byte that ends
// the matching key; the value follows it.
class KeyMatcher {
 public:
  KeyMatcher(const char *key, size_t len) : key_(key), len_(len) {}

  bool feed(unsigned char c) {
    switch (state_) {
      case kLineStart:
        if (c == '\n') return false;
        if (c == '#') {
          state_ = kSkip;
          return false;
        }
        state_ = kKey;
        pos_ = 0;
        [[fallthrough]];
      case kKey:
        if (c == '\n') {
          state_ = kLineStart;
          return false;
        }
        if (c == '=') {
          if (pos_ == len_) {
            state_ = kMatched;
            return true;
          }
          state_ = kSkip;
          return false;
        }
        if (pos_ < len_ && static_cast<unsigned char>(key_[pos_]) == c) {
          ++pos_;
          return false;
        }
        state_ = kSkip;
        return false;
      case kSkip:
        if (c == '\n') state_ = kLineStart;
        return false;
      case kMatched:
        return false;
    }
    return false;
  }

 private:
  enum State { kLineStart, kKey, kSkip, kMatched };
  const char *key_;
  size_t len_;
  State state_ = kLineStart;
  size_t pos_ = 0;
};

}  // namespace camnet_utils

#endif
