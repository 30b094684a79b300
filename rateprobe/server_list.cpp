#include "rateprobe/server_list.h"

#include "utils/utils.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kKeySize = 32;
constexpr int kValueSize = 32;

}  // namespace

bool resolve_host(const char *name, char *dotted, size_t size)
{
    const hostent *host = gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
        return false;
    }
    // inet_ntop rather than inet_ntoa: the receiver thread converts addresses
    // too, and inet_ntoa's buffer may be one for the whole process.
    return inet_ntop(AF_INET, host->h_addr_list[0], dotted, static_cast<socklen_t>(size)) != nullptr;
}

uint16_t read_server_count(const char *conf_path)
{
    return static_cast<uint16_t>(conf_get_int(conf_path, "IPCnt"));
}

uint16_t read_server_list(const char *conf_path, uint16_t count, ServerTable &table,
                          Resolver resolve)
{
    std::memset(table, 0, sizeof table);
    uint16_t used = 0;
    for (int index = 0; index < count; ++index) {
        char key[kKeySize] = {};
        std::snprintf(key, sizeof key, "ip%d", index);
        // An absent key leaves the buffer as it was: cleared every time, so
        // it cannot bring back the previous key's server.
        char value[kValueSize] = {};
        conf_get(conf_path, key, value, kValueSize);
        if (value[0] == '\0') {
            continue;
        }
        if (!resolve(value, table[used], kServerTextSize)) {
            table[used][0] = '\0';
        }
        ++used;
        if (used == kMaxServers) {
            break;
        }
    }
    return used;
}
