// The PID field and how it lands in an existing file.
#include "velnor/pid_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void expect_field(unsigned long pid, const char *digits)
{
    char text[pid_text_size];
    memset(text, 'x', sizeof text);
    format_pid_text(pid, text);
    size_t length = strlen(digits);
    EXPECT_EQ(memcmp(text, digits, length), 0) << pid;
    for (size_t i = length; i < pid_text_size; ++i) {
        EXPECT_EQ(text[i], '\0') << pid << " byte " << i;
    }
}

TEST(PidText, DigitsThenNuls)
{
    expect_field(1, "1");
    expect_field(1234, "1234");
    expect_field(10000, "10000");
    expect_field(4194304, "4194304");
}

TEST(PidText, EightDigitsFillTheField)
{
    char text[pid_text_size];
    format_pid_text(12345678, text);
    EXPECT_EQ(memcmp(text, "12345678", 8), 0);
    format_pid_text(123456789, text);  // the leading digits are kept
    EXPECT_EQ(memcmp(text, "12345678", 8), 0);
}

class PidFileWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        snprintf(path_, sizeof path_, "/tmp/pid_file_test.XXXXXX");
        int fd = mkstemp(path_);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    void TearDown() override { unlink(path_); }

    size_t read_back(char *buffer, size_t size)
    {
        FILE *file = fopen(path_, "rb");
        EXPECT_NE(file, nullptr);
        size_t got = fread(buffer, 1, size, file);
        fclose(file);
        return got;
    }

    char path_[64];
};

TEST_F(PidFileWrite, NewFileHoldsExactlyTheField)
{
    unlink(path_);
    char text[pid_text_size];
    format_pid_text(4321, text);
    mode_t old_mask = umask(0);
    int result = write_pid_text(path_, text);
    umask(old_mask);
    ASSERT_EQ(result, 0);
    char buffer[32];
    ASSERT_EQ(read_back(buffer, sizeof buffer), 8u);
    EXPECT_EQ(memcmp(buffer, "4321\0\0\0\0", 8), 0);
    struct stat info;
    ASSERT_EQ(stat(path_, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(PidFileWrite, LongerOldFileKeepsItsTail)
{
    FILE *file = fopen(path_, "wb");
    ASSERT_NE(file, nullptr);
    fputs("9999999999-tail", file);
    fclose(file);

    char text[pid_text_size];
    format_pid_text(77, text);
    ASSERT_EQ(write_pid_text(path_, text), 0);
    char buffer[32];
    ASSERT_EQ(read_back(buffer, sizeof buffer), 15u);
    EXPECT_EQ(memcmp(buffer, "77\0\0\0\0\0\0" "99-tail", 15), 0);
}

TEST_F(PidFileWrite, UnwritablePlaceFails)
{
    char text[pid_text_size];
    format_pid_text(77, text);
    EXPECT_EQ(write_pid_text("/nonexistent-dir/dodozi.pid", text), -1);
}

}  // namespace
