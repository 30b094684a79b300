#include "velnor/pid_file.h"

#include "common/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

void format_pid_text(unsigned long pid, char (&text)[pid_text_size])
{
    char reversed[24];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + pid % 10);
        pid /= 10;
    } while (pid != 0 && count < sizeof reversed);

    memset(text, 0, sizeof text);
    size_t kept = count < pid_text_size ? count : pid_text_size;
    for (size_t i = 0; i < kept; ++i) {
        text[i] = reversed[count - 1 - i];
    }
}

int write_pid_text(const char *path, const char (&text)[pid_text_size])
{
    // No O_TRUNC: a longer old file keeps its tail, as readers expect.
    UniqueFd file(open(path, O_RDWR | O_CREAT, 0644));
    if (!file.valid()) {
        return -1;
    }
    ssize_t written = pwrite(file.get(), text, sizeof text, 0);
    return written == static_cast<ssize_t>(sizeof text) ? 0 : -1;
}

void Write_PidFile()
{
    char text[pid_text_size];
    format_pid_text(static_cast<unsigned long>(getpid()), text);
    write_pid_text("/var/run/dodozi.pid", text);
}
