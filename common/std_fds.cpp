#include "common/std_fds.h"

#include <fcntl.h>
#include <unistd.h>

void keep_std_fds_open()
{
    for (;;) {
        int fd = open("/dev/null", O_RDWR);
        if (fd < 0) {
            return;  // nothing better to offer; carry on as started
        }
        if (fd > 2) {
            close(fd);
            return;
        }
    }
}
