// The run's one UDP socket, shared by the main thread (sends) and the
// receiver thread (receives). Either thread may end the run and close it.
#ifndef CAMNET_RATEPROBE_RATE_SOCK_H
#define CAMNET_RATEPROBE_RATE_SOCK_H

#include <netinet/in.h>

#include <atomic>
#include <cstddef>

// The socket's descriptor while it is open; 0 once it has been taken away.
// The receiver keeps receiving only while it is greater than 0.
extern std::atomic<int> rate_sock;

// Sends one datagram on the socket, unless it has already been taken away.
// The result of the send is of no interest to anyone.
void send_on_rate_sock(const unsigned char *data, size_t length,
                       const sockaddr_in &destination);

// Sets rate_sock to 0 and shuts the socket down in both directions, which
// wakes a receive waiting on it. Returns the descriptor, which the caller
// closes, or -1 when the other thread has taken it already.
int take_rate_sock();

#endif
