#include "rateprobe/command_line.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const char kDefault[] = "/mnt/sif/IPRate.conf";

struct Path {
    char text[kConfPathSize];
    Path() { std::memcpy(text, kDefault, sizeof kDefault); }
};

TEST(CommandLine, NoArgumentsKeepsTheDefaultFile)
{
    Path path;
    const char *argv[] = {"rateprobe", nullptr};
    EXPECT_EQ(take_command_line(1, argv, path.text), CommandLine::kDefaultPath);
    EXPECT_STREQ(path.text, kDefault);
}

TEST(CommandLine, DashCAndAPathReplacesTheFile)
{
    Path path;
    const char *argv[] = {"rateprobe", "-c", "/some/file", nullptr};
    EXPECT_EQ(take_command_line(3, argv, path.text), CommandLine::kGivenPath);
    EXPECT_STREQ(path.text, "/some/file");
}

TEST(CommandLine, OtherCommandLinesAreIgnored)
{
    const char *no_path[] = {"rateprobe", "-c", nullptr};
    const char *extra[] = {"rateprobe", "-c", "/a", "/b", nullptr};
    const char *other_flag[] = {"rateprobe", "-x", "/a", nullptr};
    const char *longer_flag[] = {"rateprobe", "-cc", "/a", nullptr};
    const char *path_first[] = {"rateprobe", "/a", "-c", nullptr};
    struct {
        int argc;
        const char **argv;
    } cases[] = {{2, no_path}, {4, extra}, {3, other_flag}, {3, longer_flag}, {3, path_first}};
    for (const auto &c : cases) {
        Path path;
        EXPECT_EQ(take_command_line(c.argc, c.argv, path.text), CommandLine::kDefaultPath)
            << c.argv[1];
        EXPECT_STREQ(path.text, kDefault);
    }
}

TEST(CommandLine, PathOf127CharactersFitsAnd128IsRefusedWhole)
{
    char longest[128];
    std::memset(longest, 'a', 127);
    longest[0] = '/';
    longest[127] = '\0';
    {
        Path path;
        const char *argv[] = {"rateprobe", "-c", longest, nullptr};
        EXPECT_EQ(take_command_line(3, argv, path.text), CommandLine::kGivenPath);
        EXPECT_STREQ(path.text, longest);
    }

    char too_long[129];
    std::memcpy(too_long, longest, 127);
    too_long[127] = 'b';
    too_long[128] = '\0';
    Path path;
    const char *argv[] = {"rateprobe", "-c", too_long, nullptr};
    EXPECT_EQ(take_command_line(3, argv, path.text), CommandLine::kPathTooLong);
    // Not shortened into the name of some other file.
    EXPECT_STREQ(path.text, kDefault);
}

}  // namespace
