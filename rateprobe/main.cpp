// rateprobe: sends a probe to every configured server from UDP port 114 and
// stores the first one that answers as "BESTIP". About one minute per run.
#include "common/std_fds.h"
#include "rateprobe/command_line.h"
#include "rateprobe/rate_sock.h"
#include "rateprobe/rateprobe.h"
#include "rateprobe/server_list.h"
#include "common/unique_fd.h"
#include "utils/utils.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

char conf_path[kConfPathSize] = "/mnt/sif/IPRate.conf";
extern "C" {
pthread_t g_mySelfID = static_cast<pthread_t>(-1);
}

namespace {

constexpr uint16_t kLocalPort = 114;
constexpr uint16_t kProbePorts[] = {8080, 81, 2628};
constexpr int kLastTick = 59;
constexpr int kProbeTick = 30;

ServerTable server_ip = {};
bool receiver_running = false;

void start_receiver()
{
    receiver_running = pthread_create(&g_mySelfID, nullptr, RecvRate_Thread, nullptr) == 0;
    if (!receiver_running) {
        g_mySelfID = static_cast<pthread_t>(-1);
    }
}

// Ends the socket, and with it the receiver. The descriptor is closed only
// after the join, so the receiver never holds a number that has been reused.
void stop_receiver()
{
    const int fd = take_rate_sock();
    if (receiver_running) {
        pthread_join(g_mySelfID, nullptr);
        receiver_running = false;
        g_mySelfID = static_cast<pthread_t>(-1);
    }
    if (fd > 0) {
        close(fd);
    }
}

}  // namespace

// The probe pass: reads the server list and probes every server once.
void Check_ServerRate()
{
    const uint16_t count = read_server_count(conf_path);
    if (count == 0) {
        puts("No Found Test, Safe Quit!");
        stop_receiver();
        exit(0);
    }
    const uint16_t used = read_server_list(conf_path, count, server_ip, resolve_host);
    for (uint16_t entry = 0; entry < used; ++entry) {
        printf("Test servip %s Rate \n", server_ip[entry]);
        for (uint16_t port : kProbePorts) {
            Send_RateProbe(server_ip[entry], port);
        }
    }
}

int main(int argc, char **argv)
{
    keep_std_fds_open();
    line_buffer_stdout();
    if (take_command_line(argc, argv, conf_path) == CommandLine::kPathTooLong) {
        fputs("rateprobe: the path after -c is longer than 127 characters; nothing done\n",
              stderr);
        return 0;
    }

    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(kLocalPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);

    UniqueFd sock(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!sock.valid()) {
        puts("error 123!");
        return 0;
    }
    if (bind(sock.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) == -1) {
        sock.reset();
        puts("error 234!");
        return 0;
    }
    // From here on the socket belongs to both threads, through rate_sock.
    rate_sock.store(sock.release());
    start_receiver();

    // 59 one-second sleeps; the probe pass comes after the 29th.
    for (int tick = 1; tick <= kLastTick; ++tick) {
        if (tick == kProbeTick) {
            puts("Check Rate ");
            Check_ServerRate();
        }
        sleep(1);
    }

    puts("start End ...");
    stop_receiver();
    // Only after the join: an answer being handled right now wins.
    conf_set(conf_path, kBestIpKey, "");
    puts("CKRate Not Found  Baset IP Safe Quit !");
    return 1;
}
