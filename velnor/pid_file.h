// The PID file "/var/run/dodozi.pid": the decimal process ID in an 8-byte
// field, NUL-filled behind the digits.
#ifndef CAMNET_VELNOR_PID_FILE_H
#define CAMNET_VELNOR_PID_FILE_H

#include <cstddef>

constexpr size_t pid_text_size = 8;

// Digits of `pid`, most significant first, then NULs; digits beyond the
// field are dropped from the end.
void format_pid_text(unsigned long pid, char (&text)[pid_text_size]);

// Writes the field over the first 8 bytes of `path`, creating it (0644) but
// never truncating it. 0 or -1.
int write_pid_text(const char *path, const char (&text)[pid_text_size]);

void Write_PidFile();

#endif
