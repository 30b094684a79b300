// Network-mode notifications on the System V message queue with key 1234.
#ifndef CAMNET_VELNOR_NOTIFY_H
#define CAMNET_VELNOR_NOTIFY_H

#include "velnor/netmode.h"

// What the queue carries. The type word is a long because that is what the
// kernel reads in front of the text (32 bits on the camera).
struct NetModeMessage {
    long type;
    char text[256];
};

// Queues the text of `netmode`: 0 when queued, -1 when not.
int VQ_MessageQueue_Send(NetMode netmode);

// Queues `text` as one message: 0 when queued, -1 for a null text, else the
// errno of the queue call that failed.
int send_message_out(const char *text);

#endif
