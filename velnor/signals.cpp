#include "velnor/signals.h"

#include "velnor/notify.h"

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

// The order the signals came in, so that a card taken out and put back is
// announced as out, then in. The counters stay the record of how many came:
// a delivery that finds the ring full is announced after the ring's.
constexpr int arrival_size = 64;  // divides counter_mask + 1
volatile sig_atomic_t arrival[arrival_size];
volatile sig_atomic_t arrivals_written = 0;  // by the handler only
volatile sig_atomic_t arrivals_read = 0;     // by the main flow only

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

// The next signal to announce: the oldest recorded arrival, else one the
// ring had no room for.
int next_pending()
{
    if (arrivals_read != arrivals_written) {
        int signo = arrival[arrivals_read % arrival_size];
        arrivals_read = (arrivals_read + 1) & counter_mask;
        return signo;
    }
    return card_up_received != card_up_announced ? SIGUSR1 : SIGUSR2;
}

}  // namespace

void sig_handler(int signo)
{
    if (signo == SIGUSR1) {
        card_up_received = (card_up_received + 1) & counter_mask;
    } else if (signo == SIGUSR2) {
        card_down_received = (card_down_received + 1) & counter_mask;
    } else {
        return;
    }
    if (((arrivals_written - arrivals_read) & counter_mask) < arrival_size) {
        arrival[arrivals_written % arrival_size] = signo;
        arrivals_written = (arrivals_written + 1) & counter_mask;
    }
}

void install_signal_handlers()
{
    struct sigaction action = {};
    action.sa_handler = sig_handler;
    // One handler at a time: the arrival ring has a single writer.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGUSR1);
    sigaddset(&action.sa_mask, SIGUSR2);
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

CardSignalsHeld::CardSignalsHeld()
{
    sigset_t card_signals;
    sigemptyset(&card_signals);
    sigaddset(&card_signals, SIGUSR1);
    sigaddset(&card_signals, SIGUSR2);
    sigprocmask(SIG_BLOCK, &card_signals, &previous_);
}

CardSignalsHeld::~CardSignalsHeld()
{
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void deliver_pending_signals()
{
    if (delivering) {
        return;  // the outer call picks up what arrives meanwhile
    }
    delivering = true;
    for (;;) {
        int signo = 0;
        {
            // A delivery between the ring check and the counter check would
            // otherwise be taken for a ring overflow and announced twice,
            // leaving the counts apart for good.
            CardSignalsHeld held;
            if (!signals_pending()) {
                break;
            }
            signo = next_pending();
            if (signo == SIGUSR1) {
                card_up_announced = (card_up_announced + 1) & counter_mask;
            } else {
                card_down_announced = (card_down_announced + 1) & counter_mask;
            }
        }
        announce(signo);
    }
    delivering = false;
}
