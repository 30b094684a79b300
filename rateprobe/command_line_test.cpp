#include "rateprobe/command_line.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const char kDefault[] = "/mnt/sif/IPRate.conf";

CommandLine take(std::initializer_list<const char *> args, char (&path)[kConfPathSize])
{
    std::memcpy(path, kDefault, sizeof kDefault);
    const char *argv[8] = {"rateprobe"};
    int argc = 1;
    for (const char *arg : args) {
        argv[argc++] = arg;
    }
    return take_command_line(argc, argv, path);
}

TEST(CommandLine, OnlyDashCAndOnePathReplaceTheDefault)
{
    char path[kConfPathSize];
    EXPECT_EQ(take({"-c", "/some/file"}, path), CommandLine::kGivenPath);
    EXPECT_STREQ(path, "/some/file");
    for (auto args : {std::initializer_list<const char *>{}, {"-c"}, {"-c", "/a", "/b"},
                      {"-x", "/a"}, {"-cc", "/a"}, {"/a", "-c"}}) {
        EXPECT_EQ(take(args, path), CommandLine::kDefaultPath) << args.size();
        EXPECT_STREQ(path, kDefault);
    }
}

TEST(CommandLine, PathOf127CharactersFits128IsRefusedNotShortened)
{
    char longest[129] = {};
    std::memset(longest, 'a', 127);
    char path[kConfPathSize];
    EXPECT_EQ(take({"-c", longest}, path), CommandLine::kGivenPath);
    EXPECT_STREQ(path, longest);
    longest[127] = 'b';
    EXPECT_EQ(take({"-c", longest}, path), CommandLine::kPathTooLong);
    EXPECT_STREQ(path, kDefault);
}

}  // namespace
