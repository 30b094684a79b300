// Access to the SoC's GPIO character device "/dev/hi_gpio". One descriptor
// per process; every line operation is exactly one ioctl request.
#ifndef CAMNET_GPIO_HI_GPIO_H
#define CAMNET_GPIO_HI_GPIO_H

#include <cstdint>

// The argument of every device request: three consecutive 32-bit words.
struct GpioRequest {
    int32_t group;
    int32_t bit;
    int32_t value;
};
static_assert(sizeof(GpioRequest) == 12, "the driver reads three 32-bit words");

// Request codes as the driver expects them: plain numbers, no size or
// direction bits encoded.
enum GpioRequestCode : unsigned long {
    GPIO_SET_DIR = 1,
    GPIO_GET_DIR = 2,
    GPIO_READ_BIT = 3,
    GPIO_WRITE_BIT = 4,
};

// 0 on success, -1 on failure; failures are reported on standard output.
int HI_SetGpio_Open();
int Hi_SetGpio_Close();  // always 0
int Hi_SetGpio_SetDir(int group, int bit, int direction);
int Hi_SetGpio_GetDir(int group, int bit, int *direction);
int Hi_SetGpio_SetBit(int group, int bit, int level);
int Hi_SetGpio_GetBit(int group, int bit, int *level);

#endif
