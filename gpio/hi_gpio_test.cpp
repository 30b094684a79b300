// The GPIO module against the driver stand-in (preloaded by ctest). The
// stand-in keeps its state in the folder named by CAMSIM_GPIO_DIR and logs
// every request it answers.
#include "gpio/hi_gpio.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

class GpioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::snprintf(dir_, sizeof dir_, "/tmp/gpio_test.XXXXXX");
        ASSERT_NE(mkdtemp(dir_), nullptr);
        setenv("CAMSIM_GPIO_DIR", dir_, 1);
    }

    void TearDown() override
    {
        // Leave the module closed for the next test, quietly.
        fflush(stdout);
        ::testing::internal::CaptureStdout();
        Hi_SetGpio_Close();
        fflush(stdout);
        ::testing::internal::GetCapturedStdout();
        char command[128];
        std::snprintf(command, sizeof command, "rm -rf %s", dir_);
        ASSERT_EQ(system(command), 0);
    }

    void knob(const char *name, const char *text)
    {
        char path[128];
        std::snprintf(path, sizeof path, "%s/%s", dir_, name);
        FILE *f = std::fopen(path, "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }

    void drop_knob(const char *name)
    {
        char path[128];
        std::snprintf(path, sizeof path, "%s/%s", dir_, name);
        unlink(path);
    }

    // Lines of the stand-in's request log, without their time stamps.
    std::string requests()
    {
        char path[128];
        std::snprintf(path, sizeof path, "%s/requests.log", dir_);
        std::string out;
        FILE *f = std::fopen(path, "r");
        if (f == nullptr) {
            return out;
        }
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr) {
            const char *rest = std::strchr(line, ' ');
            out += rest != nullptr ? rest + 1 : line;
        }
        std::fclose(f);
        return out;
    }

    void begin_capture()
    {
        fflush(stdout);
        ::testing::internal::CaptureStdout();
    }

    std::string end_capture()
    {
        fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    char dir_[64] = {};
};

TEST_F(GpioTest, LineOperationsBeforeOpenReportAndTouchNothing)
{
    int value = 42;
    begin_capture();
    EXPECT_EQ(Hi_SetGpio_SetDir(0, 7, 1), -1);
    EXPECT_EQ(Hi_SetGpio_GetDir(0, 7, &value), -1);
    EXPECT_EQ(Hi_SetGpio_SetBit(0, 7, 1), -1);
    EXPECT_EQ(Hi_SetGpio_GetBit(0, 7, &value), -1);
    EXPECT_EQ(end_capture(),
              " [func:Hi_SetGpio_SetDir, line:84]  error:file not opened yet!\n"
              " [func:Hi_SetGpio_GetDir, line:110]  error:file not opened yet!\n"
              " [func:Hi_SetGpio_SetBit, line:137]  error:file not opened yet!\n"
              " [func:Hi_SetGpio_GetBit, line:162]  error:file not opened yet!\n");
    EXPECT_EQ(value, 42);
    EXPECT_EQ(requests(), "");
}

TEST_F(GpioTest, OpenReportsOnceAndSecondOpenIsSilent)
{
    begin_capture();
    EXPECT_EQ(HI_SetGpio_Open(), 0);
    EXPECT_EQ(HI_SetGpio_Open(), 0);
    EXPECT_EQ(end_capture(), " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!\n");

    // Still one descriptor: a single close makes the module not open again.
    begin_capture();
    EXPECT_EQ(Hi_SetGpio_Close(), 0);
    EXPECT_EQ(Hi_SetGpio_Close(), 0);
    EXPECT_EQ(Hi_SetGpio_SetBit(1, 5, 1), -1);
    EXPECT_EQ(end_capture(),
              " [func:Hi_SetGpio_Close, line:63]  file closed already!\n"
              " [func:Hi_SetGpio_SetBit, line:137]  error:file not opened yet!\n");

    // A closed module opens a fresh descriptor.
    begin_capture();
    EXPECT_EQ(HI_SetGpio_Open(), 0);
    EXPECT_EQ(Hi_SetGpio_SetBit(1, 5, 1), 0);
    EXPECT_EQ(end_capture(), " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!\n");
}

TEST_F(GpioTest, FailedOpenIsReportedAndRetriedLater)
{
    knob("missing", "");
    begin_capture();
    EXPECT_EQ(HI_SetGpio_Open(), -1);
    EXPECT_EQ(Hi_SetGpio_SetDir(7, 6, 1), -1);
    EXPECT_EQ(end_capture(),
              " [func:HI_SetGpio_Open, line:49]  error:/dev/hi_gpio opened failed with: -1\n"
              " [func:Hi_SetGpio_SetDir, line:84]  error:file not opened yet!\n");

    drop_knob("missing");
    begin_capture();
    EXPECT_EQ(HI_SetGpio_Open(), 0);
    EXPECT_EQ(end_capture(), " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!\n");
}

TEST_F(GpioTest, OpenThatReturnsZeroCountsAsFailure)
{
    int saved = dup(0);
    ASSERT_GT(saved, 2);
    begin_capture();  // takes a descriptor of its own, so before the close
    close(0);
    int result = HI_SetGpio_Open();
    int set_result = Hi_SetGpio_SetDir(0, 7, 0);
    std::string out = end_capture();
    // The device took descriptor 0; give the test process its input back.
    dup2(saved, 0);
    close(saved);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(set_result, -1);
    EXPECT_EQ(out,
              " [func:HI_SetGpio_Open, line:49]  error:/dev/hi_gpio opened failed with: 0\n"
              " [func:Hi_SetGpio_SetDir, line:84]  error:file not opened yet!\n");
    EXPECT_EQ(requests(), "");
}

TEST_F(GpioTest, RequestsCarryPlainCodesAndThreeWords)
{
    begin_capture();
    ASSERT_EQ(HI_SetGpio_Open(), 0);
    end_capture();
    int direction = -5;
    int level = -5;
    EXPECT_EQ(Hi_SetGpio_SetDir(7, 6, 1), 0);
    EXPECT_EQ(Hi_SetGpio_SetBit(7, 6, 1), 0);
    EXPECT_EQ(Hi_SetGpio_GetDir(7, 6, &direction), 0);
    EXPECT_EQ(Hi_SetGpio_GetBit(7, 6, &level), 0);
    EXPECT_EQ(direction, 1);
    EXPECT_EQ(level, 1);
    // code group bit sent result returned
    EXPECT_EQ(requests(),
              "1 7 6 1 0 1\n"
              "4 7 6 1 0 1\n"
              "2 7 6 65535 0 1\n"
              "3 7 6 65535 0 1\n");
}

TEST_F(GpioTest, RefusedRequestReportsRawResultAndLeavesValue)
{
    begin_capture();
    ASSERT_EQ(HI_SetGpio_Open(), 0);
    knob("result_3", "7\n");
    knob("result_1", "-22\n");
    int level = 9;
    EXPECT_EQ(Hi_SetGpio_GetBit(0, 7, &level), -1);
    EXPECT_EQ(Hi_SetGpio_SetDir(0, 7, 0), -1);
    EXPECT_EQ(end_capture(),
              " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!\n"
              " [func:Hi_SetGpio_GetBit, line:169]  error:set dir failed with: 7\n"
              " [func:Hi_SetGpio_SetDir, line:91]  error:set dir failed with: -22\n");
    EXPECT_EQ(level, 9);
}

TEST_F(GpioTest, GetThatDriverLeavesAloneHandsBackThePreset)
{
    begin_capture();
    ASSERT_EQ(HI_SetGpio_Open(), 0);
    end_capture();
    knob("no_write", "");
    int level = 0;
    int direction = 0;
    EXPECT_EQ(Hi_SetGpio_GetBit(2, 3, &level), 0);
    EXPECT_EQ(Hi_SetGpio_GetDir(2, 3, &direction), 0);
    EXPECT_EQ(level, 65535);
    EXPECT_EQ(direction, 65535);
}

}  // namespace

namespace {

// The driver reads the request as three 32-bit words; the layout must be the
// same on the camera's ARM as on the build machine.
TEST(GpioRequestLayout, ThreeLittleEndianWordsInOrder)
{
    GpioRequest request = {7, 6, 0xFFFF};
    unsigned char bytes[sizeof request];
    std::memcpy(bytes, &request, sizeof request);
    const unsigned char expected[12] = {7, 0, 0, 0, 6, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    ASSERT_EQ(sizeof request, sizeof expected);
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);
    EXPECT_EQ(alignof(GpioRequest), 4u);
}

}  // namespace
