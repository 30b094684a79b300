#include "velnor/platform.h"

#include "velnor/signals.h"

#include <signal.h>
#include <sys/select.h>
#include <time.h>

#include <cstdlib>

namespace {

// Sleeps with the memory-card signals blocked except inside pselect(), so a
// signal that arrives just before the sleep still cuts it short instead of
// waiting for the next wake-up.
void sleep_interruptibly(time_t seconds, long nanos)
{
    sigset_t card_signals;
    sigset_t previous;
    sigemptyset(&card_signals);
    sigaddset(&card_signals, SIGUSR1);
    sigaddset(&card_signals, SIGUSR2);
    sigprocmask(SIG_BLOCK, &card_signals, &previous);
    if (!signals_pending()) {
        timespec duration = {seconds, nanos};
        pselect(0, nullptr, nullptr, nullptr, &duration, &previous);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    deliver_pending_signals();
}

}  // namespace

int run_command(const char *command)
{
    int status = system(command);
    deliver_pending_signals();
    return status;
}

void pause_seconds(unsigned seconds)
{
    sleep_interruptibly(static_cast<time_t>(seconds), 0);
}

void pause_micros(unsigned long micros)
{
    sleep_interruptibly(static_cast<time_t>(micros / 1000000UL),
                        static_cast<long>(micros % 1000000UL) * 1000L);
}

CommandPipe::CommandPipe(const char *command) : stream_(popen(command, "r")) {}

CommandPipe::~CommandPipe()
{
    if (stream_ != nullptr) {
        pclose(stream_);
        deliver_pending_signals();
    }
}
