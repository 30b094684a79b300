#include "gpio/hi_gpio.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

// The device counts as open only while the descriptor is above 0: a 0 from
// open() would be the console's descriptor, never the device's.
int gpio_fd = -1;
const char *const gpio_path = "/dev/hi_gpio";

const int32_t kGetPreset = 0xFFFF;

void report_origin(const char *func, int line)
{
    printf(" [func:%s, line:%d]  ", func, line);
}

bool device_open()
{
    return gpio_fd > 0;
}

// Report sites of one line operation.
struct LineOp {
    const char *name;
    unsigned long code;
    int not_open_site;
    int failed_site;
};

const LineOp kSetDir = {"Hi_SetGpio_SetDir", GPIO_SET_DIR, 84, 91};
const LineOp kGetDir = {"Hi_SetGpio_GetDir", GPIO_GET_DIR, 110, 117};
const LineOp kSetBit = {"Hi_SetGpio_SetBit", GPIO_WRITE_BIT, 137, 144};
const LineOp kGetBit = {"Hi_SetGpio_GetBit", GPIO_READ_BIT, 162, 169};

// One request on the device; `value` goes in and, for the get requests,
// comes back as the driver left it. The caller's variable is written only on
// success.
int line_request(const LineOp &op, int group, int bit, int32_t value, int *answer)
{
    GpioRequest request = {group, bit, value};
    if (!device_open()) {
        report_origin(op.name, op.not_open_site);
        puts("error:file not opened yet!");
        return -1;
    }
    int result = ioctl(gpio_fd, op.code, &request);
    if (result != 0) {
        report_origin(op.name, op.failed_site);
        printf("error:set dir failed with: %d\n", result);
        return -1;
    }
    if (answer != nullptr) {
        *answer = request.value;
    }
    return 0;
}

}  // namespace

int HI_SetGpio_Open()
{
    if (device_open()) {
        return 0;
    }
    gpio_fd = open(gpio_path, O_RDWR);
    if (device_open()) {
        report_origin("HI_SetGpio_Open", 52);
        printf("%s open success!\n", gpio_path);
        return 0;
    }
    report_origin("HI_SetGpio_Open", 49);
    printf("error:%s opened failed with: %d\n", gpio_path, gpio_fd);
    return -1;
}

int Hi_SetGpio_Close()
{
    if (device_open()) {
        close(gpio_fd);
        gpio_fd = -1;
        return 0;
    }
    report_origin("Hi_SetGpio_Close", 63);
    puts("file closed already!");
    return 0;
}

int Hi_SetGpio_SetDir(int group, int bit, int direction)
{
    return line_request(kSetDir, group, bit, direction, nullptr);
}

int Hi_SetGpio_GetDir(int group, int bit, int *direction)
{
    return line_request(kGetDir, group, bit, kGetPreset, direction);
}

int Hi_SetGpio_SetBit(int group, int bit, int level)
{
    return line_request(kSetBit, group, bit, level, nullptr);
}

int Hi_SetGpio_GetBit(int group, int bit, int *level)
{
    return line_request(kGetBit, group, bit, kGetPreset, level);
}
