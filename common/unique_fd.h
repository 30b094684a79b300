// Owner of one descriptor: closes it when the owner goes out of scope, so an
// early return cannot leak it.
#ifndef CAMNET_COMMON_UNIQUE_FD_H
#define CAMNET_COMMON_UNIQUE_FD_H

#include <unistd.h>

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Hands the descriptor to another owner; this one no longer closes it.
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

    void reset()
    {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

#endif
