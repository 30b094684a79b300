// The survey list: its order and the file other processes read.
#include "velnor/site_survey.h"

#include "common/file_replace.h"

#include <fcntl.h>
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

// Writes the list through a stream of its own onto the temporary file, whose
// descriptor stays with `file` for the commit. 0 or the errno.
int write_list_file(const FileReplace &file, const WifiInfo &list)
{
    const int fd = fcntl(file.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    FILE *const stream = fdopen(fd, "w");
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        return error;
    }
    errno = 0;
    write_wifi_list(stream, list);
    int error = 0;
    if (std::ferror(stream) || std::fflush(stream) != 0)
        error = errno != 0 ? errno : EIO;
    if (std::fclose(stream) != 0 && error == 0)
        error = errno;
    return error;
}

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
    FileReplace file;
    int error = file.begin(path);
    if (error == 0)
        error = write_list_file(file, list);
    if (error == 0)
        error = file.commit();
    return error == 0 ? 0 : report_failure(error);
}
