// State and operations that the main thread and the receiver thread share.
#ifndef CAMNET_RATEPROBE_RATEPROBE_H
#define CAMNET_RATEPROBE_RATEPROBE_H

#include "rateprobe/command_line.h"

#include <pthread.h>

#include <cstdint>

// The key that tells the rest of the camera which server answered first.
constexpr char kBestIpKey[] = "BESTIP";

// The configuration file of the run; set before the receiver starts, only
// read afterwards.
extern char conf_path[kConfPathSize];

// The receiver thread; all bits set while there is none. Libraries loaded
// into the process look it up by this name.
extern "C" pthread_t g_mySelfID;

// Sends one probe to `address` (dotted quad), UDP port `port`. Returns 1.
int Send_RateProbe(const char *address, uint16_t port);

// The receiver thread: waits for the first qualifying reply, records its
// sender as "BESTIP" and ends the process with status 1; returns once the
// socket has been taken away.
void *RecvRate_Thread(void *argument);

#endif
