// The list of servers to probe, from the keys "IPCnt" and "ip0", "ip1", ...
// of the configuration file.
#ifndef CAMNET_RATEPROBE_SERVER_LIST_H
#define CAMNET_RATEPROBE_SERVER_LIST_H

#include "rateprobe/reply.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kServerTextSize = 64;
using ServerTable = char[kMaxServers][kServerTextSize];

// Turns a host name or dotted-quad text into dotted-quad text in `dotted`
// (`size` bytes); false when it does not resolve.
using Resolver = bool (*)(const char *name, char *dotted, size_t size);

// The system resolver (hosts file, DNS); the first IPv4 address of the host.
bool resolve_host(const char *name, char *dotted, size_t size);

// "IPCnt" in its low 16 bits: 65536 counts as 0 and -1 as 65535.
uint16_t read_server_count(const char *conf_path);

// Reads "ip0" .. "ip<count-1>" into `table` in key order and returns the
// number of entries taken, at most 20. A key without a value takes no entry;
// a value that does not resolve takes one with the empty text.
uint16_t read_server_list(const char *conf_path, uint16_t count, ServerTable &table,
                          Resolver resolve);

#endif
