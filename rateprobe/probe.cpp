// The probe datagrams and the receiver thread that waits for an answer.
#include "rateprobe/probe_datagram.h"
#include "rateprobe/rate_sock.h"
#include "rateprobe/rateprobe.h"
#include "rateprobe/reply.h"
#include "utils/utils.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kReceiveBufferSize = 512;
constexpr size_t kAddressTextSize = 32;

// Where this run has sent probes: only these hosts can answer.
ProbedServers probed_servers;

}  // namespace

int Send_RateProbe(const char *address, uint16_t port)
{
    Dict *dict = DictCreate(0, 0);
    DictSetInt(dict, "Time", VQMSGetTick());

    unsigned char datagram[kProbeBufferSize];
    const size_t length = build_probe(datagram, dict);
    if (length == 0) {
        fprintf(stderr, "Send_RateProbe: dictionary longer than %u bytes, probe not sent\n",
                static_cast<unsigned>(kMaxDictSize));
    } else {
        sockaddr_in destination = {};
        destination.sin_family = AF_INET;
        destination.sin_port = htons(port);
        // A text that does not convert gives 255.255.255.255; the system
        // refuses that send, as the socket may not broadcast.
        destination.sin_addr.s_addr = inet_addr(address);
        // Known before the datagram leaves, so even the quickest answer counts.
        probed_servers.add(destination.sin_addr.s_addr);
        send_on_rate_sock(datagram, length, destination);
    }
    DictDestroy(dict);
    return 1;
}

void *RecvRate_Thread(void *)
{
    auto *buffer = static_cast<unsigned char *>(malloc(kReceiveBufferSize));
    if (buffer == nullptr) {
        fputs("RecvRate_Thread: no memory for the receive buffer, no reply can be taken\n",
              stderr);
        return nullptr;
    }
    memset(buffer, 0, kReceiveBufferSize);
    char address[kAddressTextSize] = {};
    sockaddr_in source = {};
    socklen_t source_length = sizeof source;

    for (int fd = rate_sock.load(); fd > 0; fd = rate_sock.load()) {
        // Once the socket is shut down this returns 0 at once, and the next
        // look at rate_sock ends the loop.
        const ssize_t received = recvfrom(fd, buffer, kReceiveBufferSize, 0,
                                          reinterpret_cast<sockaddr *>(&source), &source_length);
        if (received == -1) {
            continue;
        }
        if (reply_qualifies(buffer, source.sin_addr.s_addr, probed_servers)) {
            inet_ntop(AF_INET, &source.sin_addr, address, sizeof address);
            conf_set(conf_path, kBestIpKey, address);
            printf("The Baset Server is %s\n", address);
            const int status = system("sync");
            (void)status;
            const int own = take_rate_sock();
            if (own > 0) {
                close(own);
            }
            exit(1);
        }
        // Cleared, so that a shorter datagram never shows this one's bytes.
        memset(buffer, 0, kReceiveBufferSize);
    }
    free(buffer);
    return nullptr;
}
