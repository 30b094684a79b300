// A descriptor closed when its holder goes out of scope.
#ifndef CAMNET_VELNOR_UNIQUE_FD_H
#define CAMNET_VELNOR_UNIQUE_FD_H

#include <unistd.h>

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }

private:
    int fd_;
};

#endif
