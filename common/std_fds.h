// Start-up guard shared by the programs.
#ifndef CAMNET_COMMON_STD_FDS_H
#define CAMNET_COMMON_STD_FDS_H

// Makes sure descriptors 0, 1 and 2 are open, on /dev/null where they were
// closed, so that no device, PID file or socket opened later can take one of
// them (console text would then go into it, and a device on 0 counts as not
// open). Call first thing in main().
void keep_std_fds_open();

#endif
