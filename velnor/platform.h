// The daemon's only ways of running platform commands and of sleeping.
// Each returns early when a memory-card signal arrives and then announces
// the signals that came (see signals.h), so every command and sleep is a
// point where pending signals are handled.
#ifndef CAMNET_VELNOR_PLATFORM_H
#define CAMNET_VELNOR_PLATFORM_H

#include <cstdio>

// Runs a shell command and waits for it; the result of system().
int run_command(const char *command);

// Sleeps once; a signal ends the sleep early and it is not resumed.
void pause_seconds(unsigned seconds);
void pause_micros(unsigned long micros);

// A read pipe from a shell command, closed (waiting for the command) when
// the holder goes out of scope.
class CommandPipe {
public:
    explicit CommandPipe(const char *command);
    ~CommandPipe();
    CommandPipe(const CommandPipe &) = delete;
    CommandPipe &operator=(const CommandPipe &) = delete;

    FILE *stream() const { return stream_; }
    bool is_open() const { return stream_ != nullptr; }

private:
    FILE *stream_;
};

#endif
