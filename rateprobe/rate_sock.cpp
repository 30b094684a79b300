#include "rateprobe/rate_sock.h"

#include <pthread.h>
#include <sys/socket.h>

std::atomic<int> rate_sock{-1};

namespace {

// A send and the taking away of the socket never overlap, so a send never
// goes to a descriptor that has been closed (and perhaps reused) meanwhile.
pthread_mutex_t socket_lock = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

void send_on_rate_sock(const unsigned char *data, size_t length,
                       const sockaddr_in &destination)
{
    pthread_mutex_lock(&socket_lock);
    const int fd = rate_sock.load();
    if (fd > 0) {
        sendto(fd, data, length, MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr *>(&destination), sizeof destination);
    }
    pthread_mutex_unlock(&socket_lock);
}

int take_rate_sock()
{
    pthread_mutex_lock(&socket_lock);
    const int fd = rate_sock.exchange(0);
    if (fd > 0) {
        shutdown(fd, SHUT_RDWR);
    }
    pthread_mutex_unlock(&socket_lock);
    return fd > 0 ? fd : -1;
}
