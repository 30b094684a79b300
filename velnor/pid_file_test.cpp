// The PID field of the PID file.
#include "velnor/pid_file.h"

#include <gtest/gtest.h>

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

}  // namespace
