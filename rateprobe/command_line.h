// The command line: the program name alone, or "-c" and a configuration path.
#ifndef CAMNET_RATEPROBE_COMMAND_LINE_H
#define CAMNET_RATEPROBE_COMMAND_LINE_H

#include <cstddef>

constexpr size_t kConfPathSize = 128;

enum class CommandLine {
    kDefaultPath,  // no "-c" path, or a command line we ignore
    kGivenPath,    // the path after "-c" is now in the buffer
    kPathTooLong,  // refused: it would not fit, and a shortened path is another file
};

// Copies the path after "-c" into `conf_path` when the command line is
// exactly that; leaves `conf_path` as it is otherwise.
CommandLine take_command_line(int argc, const char *const *argv,
                              char (&conf_path)[kConfPathSize]);

#endif
