#include "velnor/platform.h"

#include "velnor/signals.h"

#include <sys/select.h>
#include <time.h>

#include <cstdlib>

namespace {

// Signals that came since the last command or sleep are announced first and
// the sleep then runs whole; one that comes during the sleep cuts it short.
// The signals are held back except inside pselect(), so one arriving just
// before the sleep cannot slip past it to the next wake-up.
void sleep_interruptibly(time_t seconds, long nanos)
{
    for (;;) {
        deliver_pending_signals();
        CardSignalsHeld held;
        if (!signals_pending()) {
            timespec duration = {seconds, nanos};
            pselect(0, nullptr, nullptr, nullptr, &duration, held.previous());
            break;
        }
    }
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
