// The survey list: its order and the file other processes read.
#include "velnor/site_survey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Completed entries that fit the list; nothing past them is touched.
int completed(const WifiInfo &list)
{
    if (list.count < 0)
        return 0;
    return list.count > WIFI_NODE_MAX ? WIFI_NODE_MAX : list.count;
}

int report_failure(int error)
{
    std::fprintf(stderr, "[%s, %d] fopen error with: %d, %s\n", "WifiScanForAP", 584, error,
                 std::strerror(error));
    return error;
}

constexpr int path_size = 256;

// The file `path` names after its symbolic links, which a rename would
// otherwise replace instead of the list they lead to. A missing last file
// is fine. 0 or the errno.
int follow_links(const char *path, char (&out)[path_size])
{
    if (std::snprintf(out, sizeof out, "%s", path) >= path_size)
        return ENAMETOOLONG;
    for (int hops = 0; hops < 16; ++hops) {
        struct stat st;
        if (lstat(out, &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        char link[path_size];
        const ssize_t n = readlink(out, link, sizeof link);
        if (n < 0)
            return errno;
        if (n >= path_size)
            return ENAMETOOLONG;
        link[n] = '\0';
        // A relative link is relative to the folder the link is in.
        const char *slash = std::strrchr(out, '/');
        const int folder = link[0] == '/' || slash == nullptr ? 0 : static_cast<int>(slash - out + 1);
        if (folder + n >= path_size)
            return ENAMETOOLONG;
        std::memcpy(out + folder, link, static_cast<size_t>(n) + 1);
    }
    return ELOOP;
}

// The new list beside the old one, removed again unless it was renamed.
class PendingList {
public:
    PendingList() = default;
    ~PendingList()
    {
        if (stream_ != nullptr)
            std::fclose(stream_);
        if (created_)
            unlink(path_);
    }
    PendingList(const PendingList &) = delete;
    PendingList &operator=(const PendingList &) = delete;

    // 0 or the errno.
    int create(const char *target)
    {
        const char *slash = std::strrchr(target, '/');
        const int folder = slash == nullptr ? 0 : static_cast<int>(slash - target + 1);
        const int n = std::snprintf(path_, sizeof path_, "%.*s.%s.%d.tmp", folder, target,
                                    target + folder, static_cast<int>(getpid()));
        if (n < 0 || static_cast<size_t>(n) >= sizeof path_)
            return ENAMETOOLONG;
        int fd = open(path_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        // The name carries our process ID, so a file by it is the leftover
        // of an earlier run cut off before its rename (after a reboot the
        // daemon often gets the same ID); it must not block every survey.
        if (fd < 0 && errno == EEXIST && unlink(path_) == 0)
            fd = open(path_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return errno;
        created_ = true;
        // A list that is replaced keeps its mode and owner, as rewriting it
        // in place would.
        struct stat old;
        if (stat(target, &old) == 0) {
            // Refused, they leave the daemon's own user and mode on it.
            int ignored = fchown(fd, old.st_uid, old.st_gid);
            ignored = fchmod(fd, old.st_mode & 07777);
            static_cast<void>(ignored);
        }
        stream_ = fdopen(fd, "w");
        if (stream_ == nullptr) {
            const int error = errno;
            close(fd);
            return error;
        }
        return 0;
    }

    FILE *stream() const { return stream_; }

    // Flushes the content to the disk and puts it in place of `target`;
    // errno was cleared before the content was written.
    int commit(const char *target)
    {
        int error = 0;
        if (std::ferror(stream_) || std::fflush(stream_) != 0)
            error = errno != 0 ? errno : EIO;
        // On a power cut the rename must not come before the content.
        fsync(fileno(stream_));
        FILE *const stream = stream_;
        stream_ = nullptr;
        if (std::fclose(stream) != 0 && error == 0)
            error = errno;
        if (error == 0 && std::rename(path_, target) != 0)
            error = errno;
        if (error == 0)
            created_ = false;
        return error;
    }

private:
    char path_[path_size] = {};
    FILE *stream_ = nullptr;
    bool created_ = false;
};

}  // namespace

int Sort_WifiInfo(WifiInfo *list)
{
    if (list == nullptr) {
        std::printf("[%s, %d] wifi info is empty!!!\n", "Sort_WifiInfo", 619);
        return -1;
    }
    std::printf("[%s, %d] ...pWifiInfo->count:%d...\n", "Sort_WifiInfo", 622,
                static_cast<int>(list->count));
    if (list->count == 1)
        return 0;
    // A stable sort: equal signals keep the scan's order.
    const int count = completed(*list);
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < count - 1 - i; ++j) {
            if (list->node[j].signal < list->node[j + 1].signal) {
                const WifiNode weaker = list->node[j];
                list->node[j] = list->node[j + 1];
                list->node[j + 1] = weaker;
            }
        }
    }
    return 0;
}

int write_wifi_list(FILE *out, const WifiInfo &list)
{
    std::fprintf(out, "%s=%d\n", "wifiFind_count", static_cast<int>(list.count));
    for (int i = 0; i < completed(list); ++i) {
        const WifiNode &node = list.node[i];
        std::fprintf(out, "%.*s %d %d %d\n", static_cast<int>(sizeof node.ssid), node.ssid,
                     static_cast<int>(node.signal), node.security, node.mode);
    }
    return std::ferror(out) ? -1 : 0;
}

int replace_wifi_list(const WifiInfo &list, const char *path)
{
    char target[path_size];
    int error = follow_links(path, target);
    PendingList pending;
    if (error == 0)
        error = pending.create(target);
    if (error == 0) {
        errno = 0;
        write_wifi_list(pending.stream(), list);
        error = pending.commit(target);
    }
    return error == 0 ? 0 : report_failure(error);
}
