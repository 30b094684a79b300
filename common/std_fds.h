// Start-up guards shared by the programs.
#ifndef CAMNET_COMMON_STD_FDS_H
#define CAMNET_COMMON_STD_FDS_H

// Makes sure descriptors 0, 1 and 2 are open, on /dev/null where they were
// closed (on the root folder where /dev/null cannot be opened), so that no device, PID file or socket opened later can take one of
// them (console text would then go into it, and a device on 0 counts as not
// open). Call first thing in main().
void keep_std_fds_open();

// Console lines go out one by one even when stdout is a pipe or a log file:
// in order with the output of the commands we start, and none left in the
// buffer when the program is killed.
void line_buffer_stdout();

#endif
