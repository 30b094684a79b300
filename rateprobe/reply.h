// Which datagrams on port 114 count as an answer to our probes.
#ifndef CAMNET_RATEPROBE_REPLY_H
#define CAMNET_RATEPROBE_REPLY_H

#include <netinet/in.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr size_t kMaxServers = 20;

// The addresses this run has sent probes to. One thread adds (the probe
// pass), another asks (the receiver) at the same time, without a lock: an
// address is stored before the count that makes it visible.
class ProbedServers {
public:
    // Adds `address` (network byte order) unless it is already there, the
    // table is full, or it is the all-ones address, which no probe can reach.
    // Only one thread may add.
    void add(in_addr_t address);
    bool contains(in_addr_t address) const;

private:
    std::array<std::atomic<uint32_t>, kMaxServers> addresses_{};
    std::atomic<size_t> count_{0};
};

// A reply counts when it carries the probe's message type (byte 4 at least
// 0xF0) and comes from an address we probed, from any port. `buffer` holds
// at least 5 bytes and is all zero beyond what was received, so a datagram
// shorter than 5 bytes never counts.
bool reply_qualifies(const unsigned char *buffer, in_addr_t source,
                     const ProbedServers &probed);

#endif
