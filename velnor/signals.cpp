#include "velnor/signals.h"

#include "velnor/notify.h"

#include <signal.h>

#include <cstdio>

namespace {

// Each counter is written only by the handler and read by the main flow,
// which keeps its own count of deliveries already announced. The mask keeps
// the counters inside sig_atomic_t without ever overflowing.
constexpr int counter_mask = 0x3fffffff;
volatile sig_atomic_t card_up_received = 0;
volatile sig_atomic_t card_down_received = 0;
int card_up_announced = 0;
int card_down_announced = 0;
bool delivering = false;

void announce(int signo)
{
    printf("[%s - %d]: ", "sig_handler", 970);
    printf("...receive signal: %d...\n", signo);
    if (signo == SIGUSR1) {
        VQ_MessageQueue_Send(NETMODE_TFUP);
        puts("-----> TF Up <-----");
    } else if (signo == SIGUSR2) {
        VQ_MessageQueue_Send(NETMODE_TFDOWN);
        puts("-----> TF Down <-----");
    }
}

}  // namespace

void sig_handler(int signo)
{
    if (signo == SIGUSR1) {
        card_up_received = (card_up_received + 1) & counter_mask;
    } else if (signo == SIGUSR2) {
        card_down_received = (card_down_received + 1) & counter_mask;
    }
}

void install_signal_handlers()
{
    struct sigaction action = {};
    action.sa_handler = sig_handler;
    sigemptyset(&action.sa_mask);
    // Reads of command output and waits for commands carry on across a
    // signal; sleeps end early regardless.
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
    sigaction(SIGUSR2, &action, nullptr);
}

bool signals_pending()
{
    return card_up_received != card_up_announced || card_down_received != card_down_announced;
}

void deliver_pending_signals()
{
    if (delivering) {
        return;  // the outer call picks up what arrives meanwhile
    }
    delivering = true;
    while (signals_pending()) {
        if (card_up_received != card_up_announced) {
            card_up_announced = (card_up_announced + 1) & counter_mask;
            announce(SIGUSR1);
        } else {
            card_down_announced = (card_down_announced + 1) & counter_mask;
            announce(SIGUSR2);
        }
    }
    delivering = false;
}
