#include "rateprobe/reply.h"

#include "rateprobe/probe_datagram.h"

void ProbedServers::add(in_addr_t address)
{
    if (address == INADDR_NONE || contains(address)) {
        return;
    }
    const size_t count = count_.load(std::memory_order_relaxed);
    if (count >= addresses_.size()) {
        return;
    }
    addresses_[count].store(address, std::memory_order_relaxed);
    count_.store(count + 1, std::memory_order_release);
}

bool ProbedServers::contains(in_addr_t address) const
{
    const size_t count = count_.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (addresses_[i].load(std::memory_order_relaxed) == address) {
            return true;
        }
    }
    return false;
}

bool reply_qualifies(const unsigned char *buffer, in_addr_t source,
                     const ProbedServers &probed)
{
    return (buffer[4] >> 4) == kProbeMessageType && probed.contains(source);
}
