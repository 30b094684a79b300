#include "rateprobe/command_line.h"

#include <cstring>

CommandLine take_command_line(int argc, const char *const *argv,
                              char (&conf_path)[kConfPathSize])
{
    if (argc != 3 || std::strcmp(argv[1], "-c") != 0) {
        return CommandLine::kDefaultPath;
    }
    const size_t length = std::strlen(argv[2]);
    if (length >= kConfPathSize) {
        return CommandLine::kPathTooLong;
    }
    std::memcpy(conf_path, argv[2], length + 1);
    return CommandLine::kGivenPath;
}
