// The network-mode vocabulary that travels on the message queue.
#ifndef CAMNET_VELNOR_NETMODE_H
#define CAMNET_VELNOR_NETMODE_H

#include <cstdint>

enum NetMode : int32_t {
    NETMODE_WIRE = 0,
    NETMODE_WIFISTA = 1,
    NETMODE_WIFIAP = 2,
    NETMODE_WIFICLOSE = 3,
    NETMODE_TFUP = 4,
    NETMODE_TFDOWN = 5,
};

// The queue text of a mode; "" for a value outside the vocabulary.
const char *netmode_text(NetMode netmode);

// Line number of the mode's "Net Work Mode" log line; 0 when it has none
// (the memory-card modes and unknown values).
int netmode_log_line(NetMode netmode);

#endif
