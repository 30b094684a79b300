// The memory-card signals: SIGUSR1 (card up) and SIGUSR2 (card down).
// The handler only records deliveries; the main flow announces them, in
// the order they came.
#ifndef CAMNET_VELNOR_SIGNALS_H
#define CAMNET_VELNOR_SIGNALS_H

#include <signal.h>

void install_signal_handlers();

// Holds SIGUSR1 and SIGUSR2 back while it lives; they are handled once it
// ends. previous() is the mask from before, for pselect().
class CardSignalsHeld {
public:
    CardSignalsHeld();
    ~CardSignalsHeld();
    CardSignalsHeld(const CardSignalsHeld &) = delete;
    CardSignalsHeld &operator=(const CardSignalsHeld &) = delete;
    const sigset_t *previous() const { return &previous_; }

private:
    sigset_t previous_;
};

// The handler itself: records one delivery of `signo`.
void sig_handler(int signo);

// True while a delivered signal has not been announced yet.
bool signals_pending();

// Prints the lines and queues one message for every delivery recorded so
// far. Never call from signal context.
void deliver_pending_signals();

#endif
