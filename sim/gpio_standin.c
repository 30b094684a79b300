/*
 * Stand-in for the camera's GPIO driver, preloaded into a program running in
 * the simulated camera.
 *
 * open("/dev/hi_gpio") hands out a descriptor of an ordinary placeholder file
 * (so descriptor numbering follows the usual lowest-free rule), and ioctl on
 * that descriptor answers the driver's four requests from line-state files:
 *
 *   $CAMSIM_GPIO_DIR/<group>_<bit>   "dir=<d> level=<l>\n", missing = 0 0;
 *                                    read at every request, replaced
 *                                    atomically on set requests
 *                                    (plus " input=<l>" while an input
 *                                    line is driven as an output, below)
 *   $CAMSIM_GPIO_DIR/missing         present: the open fails with ENOENT
 *   $CAMSIM_GPIO_DIR/result_<code>   integer N != 0: that request returns N
 *                                    and touches nothing
 *   $CAMSIM_GPIO_DIR/no_write        present: get requests succeed but leave
 *                                    the value word as it was
 *   $CAMSIM_GPIO_DIR/<group>_<bit>.reads  levels, blank-separated: each read
 *                                    request on the line answers the first
 *                                    and drops it (the file goes when
 *                                    empty); for changes faster than a
 *                                    test can flip a line
 *   $CAMSIM_GPIO_DIR/requests.log    one line per request:
 *     "<sec>.<usec> <code> <group> <bit> <value sent> <result> <value returned>"
 *
 * The level of an input line is what the outside world drives (the Wi-Fi
 * switch on 0_7). When a program turns an input into an output, that level
 * is kept as "input=<l>"; when it turns the line back into an input, the
 * kept level returns, as a switch that is on pulls the line up again after
 * a discharge. Setting the line file from outside meanwhile (no "input=")
 * leaves the level as set.
 *
 * Without CAMSIM_GPIO_DIR every call goes straight to the C library.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define DEVICE_PATH "/dev/hi_gpio"

typedef int (*open_fn)(const char *, int, ...);
typedef int (*openat_fn)(int, const char *, int, ...);
typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);

/* One device descriptor per process is all the programs ever hold; a small
 * table keeps a test program that opens twice honest too. */
#define MAX_DEVICE_FDS 8
static int device_fds[MAX_DEVICE_FDS] = {-1, -1, -1, -1, -1, -1, -1, -1};

static void *next_symbol(const char *name)
{
    return dlsym(RTLD_NEXT, name);
}

static int real_open(const char *path, int flags, mode_t mode)
{
    static open_fn fn;
    if (!fn)
        fn = (open_fn)next_symbol("open");
    if (!fn) {
        errno = ENOSYS;
        return -1;
    }
    return fn(path, flags, mode);
}

static int real_close(int fd)
{
    static close_fn fn;
    if (!fn)
        fn = (close_fn)next_symbol("close");
    if (!fn) {
        errno = ENOSYS;
        return -1;
    }
    return fn(fd);
}

static const char *gpio_dir(void)
{
    const char *dir = getenv("CAMSIM_GPIO_DIR");
    return (dir && *dir) ? dir : NULL;
}

static int is_device(int fd)
{
    if (fd < 0)
        return 0;
    for (int i = 0; i < MAX_DEVICE_FDS; ++i)
        if (device_fds[i] == fd)
            return 1;
    return 0;
}

static void remember_device(int fd)
{
    for (int i = 0; i < MAX_DEVICE_FDS; ++i)
        if (device_fds[i] < 0) {
            device_fds[i] = fd;
            return;
        }
}

static void forget_device(int fd)
{
    for (int i = 0; i < MAX_DEVICE_FDS; ++i)
        if (device_fds[i] == fd)
            device_fds[i] = -1;
}

static int knob_path(char *buf, size_t size, const char *dir, const char *name)
{
    int n = snprintf(buf, size, "%s/%s", dir, name);
    return n > 0 && (size_t)n < size;
}

static int file_exists(const char *dir, const char *name)
{
    char path[4096];
    struct stat st;
    return knob_path(path, sizeof path, dir, name) && stat(path, &st) == 0;
}

/* Reads a small text file through the real open so our own hooks stay out. */
static ssize_t read_small(const char *path, char *buf, size_t size)
{
    int fd = real_open(path, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    ssize_t n = read(fd, buf, size - 1);
    real_close(fd);
    if (n < 0)
        return -1;
    buf[n] = '\0';
    return n;
}

static int knob_result(const char *dir, int code)
{
    char name[32], path[4096], text[64];
    snprintf(name, sizeof name, "result_%d", code);
    if (!knob_path(path, sizeof path, dir, name) || read_small(path, text, sizeof text) < 0)
        return 0;
    return (int)strtol(text, NULL, 0);
}

static void read_line(const char *dir, int group, int bit, int *direction, int *level,
                      int *input)
{
    char name[64], path[4096], text[128];
    *direction = 0;
    *level = 0;
    *input = -1;
    snprintf(name, sizeof name, "%d_%d", group, bit);
    if (!knob_path(path, sizeof path, dir, name) || read_small(path, text, sizeof text) < 0)
        return;
    const char *d = strstr(text, "dir=");
    const char *l = strstr(text, "level=");
    if (d)
        *direction = (int)strtol(d + 4, NULL, 10);
    if (l)
        *level = (int)strtol(l + 6, NULL, 10);
    const char *i = strstr(text, "input=");
    if (i)
        *input = (int)strtol(i + 6, NULL, 10);
}

/* input < 0: no outside level kept. */
static void write_line(const char *dir, int group, int bit, int direction, int level, int input)
{
    char name[64], path[4096], tmp[4096], text[64];
    snprintf(name, sizeof name, "%d_%d", group, bit);
    if (!knob_path(path, sizeof path, dir, name))
        return;
    /* Unique per process so two programs on one camera never share a temp. */
    snprintf(name, sizeof name, ".%d_%d.%ld.tmp", group, bit, (long)getpid());
    if (!knob_path(tmp, sizeof tmp, dir, name))
        return;
    int fd = real_open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    int n = input < 0 ? snprintf(text, sizeof text, "dir=%d level=%d\n", direction, level)
                      : snprintf(text, sizeof text, "dir=%d level=%d input=%d\n", direction,
                                 level, input);
    ssize_t w = write(fd, text, (size_t)n);
    real_close(fd);
    if (w == n)
        rename(tmp, path);
    else
        unlink(tmp);
}

/* Takes the next scripted level of a line: 1 and *level set, or 0. */
static int next_scripted_read(const char *dir, int group, int bit, int *level)
{
    char name[64], path[4096], tmp[4096], text[512];
    snprintf(name, sizeof name, "%d_%d.reads", group, bit);
    if (!knob_path(path, sizeof path, dir, name) || read_small(path, text, sizeof text) < 0)
        return 0;
    char *end;
    long value = strtol(text, &end, 10);
    if (end == text) {
        unlink(path);
        return 0;
    }
    *level = (int)value;
    while (*end == ' ' || *end == '\t' || *end == '\n')
        ++end;
    if (*end == '\0') {
        unlink(path);
        return 1;
    }
    snprintf(name, sizeof name, ".%d_%d.reads.%ld.tmp", group, bit, (long)getpid());
    if (!knob_path(tmp, sizeof tmp, dir, name))
        return 1;
    int fd = real_open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return 1;
    size_t n = strlen(end);
    ssize_t w = write(fd, end, n);
    real_close(fd);
    if (w == (ssize_t)n)
        rename(tmp, path);
    else
        unlink(tmp);
    return 1;
}

static void log_request(const char *dir, int code, int group, int bit, int sent, int result,
                        int returned)
{
    char path[4096], text[160];
    struct timespec now;
    if (!knob_path(path, sizeof path, dir, "requests.log"))
        return;
    clock_gettime(CLOCK_REALTIME, &now);
    int n = snprintf(text, sizeof text, "%lld.%06ld %d %d %d %d %d %d\n", (long long)now.tv_sec,
                     now.tv_nsec / 1000, code, group, bit, sent, result, returned);
    int fd = real_open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    /* One write per line keeps lines whole when several processes log. */
    if (write(fd, text, (size_t)n) < 0) {
    }
    real_close(fd);
}

static int open_device(void)
{
    const char *dir = gpio_dir();
    char path[4096];
    if (file_exists(dir, "missing")) {
        errno = ENOENT;
        return -1;
    }
    if (!knob_path(path, sizeof path, dir, "device")) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = real_open(path, O_RDWR | O_CREAT, 0644);
    if (fd >= 0)
        remember_device(fd);
    return fd;
}

static int wants_device(const char *path)
{
    return path && gpio_dir() && strcmp(path, DEVICE_PATH) == 0;
}

static mode_t mode_arg(int flags, va_list ap)
{
    if (flags & O_CREAT)
        return (mode_t)va_arg(ap, int);
#ifdef O_TMPFILE
    if ((flags & O_TMPFILE) == O_TMPFILE)
        return (mode_t)va_arg(ap, int);
#endif
    return 0;
}

static int open_any(const char *path, int flags, mode_t mode)
{
    if (wants_device(path))
        return open_device();
    return real_open(path, flags, mode);
}

int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    return open_any(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    return open_any(path, flags, mode);
}

/* Fortified builds call these instead of open(). */
int __open_2(const char *path, int flags)
{
    return open(path, flags);
}

int __open64_2(const char *path, int flags)
{
    return open(path, flags);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    static openat_fn fn;
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    if (wants_device(path))
        return open_device();
    if (!fn)
        fn = (openat_fn)next_symbol("openat");
    if (!fn) {
        errno = ENOSYS;
        return -1;
    }
    return fn(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    return openat(dirfd, path, flags, mode);
}

int close(int fd)
{
    if (is_device(fd))
        forget_device(fd);
    return real_close(fd);
}

static int device_request(int code, int32_t *word)
{
    const char *dir = gpio_dir();
    int group = word[0], bit = word[1], sent = word[2];
    int result = 0;
    int saved_errno = errno;

    if (code < 1 || code > 4) {
        log_request(dir, code, group, bit, sent, -1, sent);
        errno = EINVAL;
        return -1;
    }
    result = knob_result(dir, code);
    if (result == 0) {
        int direction, level, input;
        read_line(dir, group, bit, &direction, &level, &input);
        switch (code) {
        case 1:
            if (direction == 0 && sent != 0)
                write_line(dir, group, bit, sent, level, level);
            else if (direction != 0 && sent == 0 && input >= 0)
                write_line(dir, group, bit, sent, input, -1);
            else
                write_line(dir, group, bit, sent, level, input);
            break;
        case 2:
            if (!file_exists(dir, "no_write"))
                word[2] = direction;
            break;
        case 3:
            next_scripted_read(dir, group, bit, &level);
            if (!file_exists(dir, "no_write"))
                word[2] = level;
            break;
        case 4:
            write_line(dir, group, bit, direction, sent, input);
            break;
        }
    }
    log_request(dir, code, group, bit, sent, result, word[2]);
    errno = saved_errno;
    return result;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn fn;
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (is_device(fd) && gpio_dir())
        return device_request((int)request, (int32_t *)arg);
    if (!fn)
        fn = (ioctl_fn)next_symbol("ioctl");
    if (!fn) {
        errno = ENOSYS;
        return -1;
    }
    return fn(fd, request, arg);
}
