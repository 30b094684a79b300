#include "common/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int max_links = 16;

// The numbers of the temporary files this process has open, a bit each. With
// the process ID they make a name no other writer uses now, so a file already
// there by that name is the leftover of an earlier run cut off before its
// rename (after a reboot a daemon often gets its old ID back). The lowest free
// number is taken, so a process that replaces one file at a time always uses
// the same name and finds such a leftover instead of piling them up.
std::atomic<unsigned> slots_in_use{0};

int take_slot()
{
    unsigned in_use = slots_in_use.load();
    unsigned bit;
    do {
        bit = ~in_use & (in_use + 1);  // the lowest clear bit
        if (bit == 0)
            return -1;
    } while (!slots_in_use.compare_exchange_weak(in_use, in_use | bit));
    int slot = 0;
    while ((bit >>= 1) != 0)
        ++slot;
    return slot;
}

void give_slot(int slot)
{
    slots_in_use.fetch_and(~(1u << slot));
}

// The file `path` names after its symbolic links. A missing last file is
// fine. 0 or the errno.
int follow_links(const char *path, char (&out)[FileReplace::path_max])
{
    const size_t length = std::strlen(path);
    if (length >= sizeof out)
        return ENAMETOOLONG;
    std::memcpy(out, path, length + 1);
    for (int hops = 0; hops < max_links; ++hops) {
        struct stat st;
        if (lstat(out, &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        char link[FileReplace::path_max];
        const ssize_t n = readlink(out, link, sizeof link);
        if (n < 0)
            return errno;
        if (static_cast<size_t>(n) >= sizeof link)
            return ENAMETOOLONG;
        link[n] = '\0';
        // A relative link is relative to the folder the link is in.
        const char *slash = std::strrchr(out, '/');
        const size_t folder = link[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - out) + 1;
        if (folder + static_cast<size_t>(n) >= sizeof out)
            return ENAMETOOLONG;
        std::memcpy(out + folder, link, static_cast<size_t>(n) + 1);
    }
    return ELOOP;
}

// The new content takes the owner and mode of the file it replaces. 0 or
// the errno.
int keep_owner_and_mode(int fd, const struct stat &old)
{
    // The owner first: changing it clears set-ID bits the mode restores.
    // Not allowed to (not root), the file keeps our owner.
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        const int ignored = fchown(fd, old.st_uid, old.st_gid);
        static_cast<void>(ignored);
    }
    return fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

int fsync_retry(int fd)
{
    while (fsync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

}  // namespace

FileReplace::~FileReplace()
{
    if (fd_ >= 0)
        close(fd_);
    if (created_)
        unlink(temp_);
    if (folder_fd_ >= 0)
        close(folder_fd_);
    // Only now that the name is gone may another writer of ours take it.
    if (slot_ >= 0)
        give_slot(slot_);
}

int FileReplace::begin(const char *path)
{
    const int error = follow_links(path, target_);
    if (error != 0)
        return error;
    const char *slash = std::strrchr(target_, '/');
    const int folder_length = slash == nullptr ? 0 : static_cast<int>(slash - target_) + 1;
    const char *base = target_ + folder_length;
    if (*base == '\0')
        return EISDIR;

    char folder[path_max];
    std::memcpy(folder, target_, static_cast<size_t>(folder_length));
    folder[folder_length] = '\0';
    folder_fd_ = open(folder_length == 0 ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd_ < 0 && errno != EACCES)
        return errno;

    slot_ = take_slot();
    if (slot_ < 0)
        return EMFILE;
    // The base name is cut short so that the temporary's stays within NAME_MAX.
    const long pid = static_cast<long>(getpid());
    const int n = slot_ == 0 ? std::snprintf(temp_, sizeof temp_, "%.*s.%.64s.%ld.tmp", folder_length,
                                             target_, base, pid)
                             : std::snprintf(temp_, sizeof temp_, "%.*s.%.64s.%ld.%d.tmp", folder_length,
                                             target_, base, pid, slot_);
    if (n < 0 || static_cast<size_t>(n) >= sizeof temp_)
        return ENAMETOOLONG;

    struct stat old;
    const bool replacing = stat(target_, &old) == 0;
    // A new file gets 0666 less the umask, as fopen would give it; one that
    // replaces another stays private until it has the old one's mode.
    const mode_t mode = replacing ? 0600 : 0666;
    fd_ = open(temp_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    // A file by our name is a leftover (see slots_in_use); it must not block
    // every later replacement.
    if (fd_ < 0 && errno == EEXIST && unlink(temp_) == 0)
        fd_ = open(temp_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd_ < 0)
        return errno;
    created_ = true;
    return 0;
}

int FileReplace::commit()
{
    if (fd_ < 0)
        return EBADF;
    // The file as it is now, not when we began: a writer that holds a lock
    // has it by now, and a file created meanwhile by someone else keeps its
    // owner and mode.
    struct stat old;
    int error = stat(target_, &old) == 0 ? keep_owner_and_mode(fd_, old) : 0;
    // On a power cut the rename must not come before the content.
    if (error == 0)
        error = fsync_retry(fd_);
    if (close(fd_) != 0 && error == 0)
        error = errno;
    fd_ = -1;
    if (error == 0 && std::rename(temp_, target_) != 0)
        error = errno;
    if (error != 0)
        return error;
    created_ = false;
    // The rename itself survives a power cut only with its folder flushed;
    // nothing to undo if that fails.
    if (folder_fd_ >= 0)
        fsync_retry(folder_fd_);
    return 0;
}
