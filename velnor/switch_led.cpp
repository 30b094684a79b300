#include "velnor/switch_led.h"

#include "gpio/hi_gpio.h"
#include "velnor/link_mode.h"
#include "velnor/velnor.h"

#include <cstdio>

namespace {

struct LedLine {
    int group;
    int bit;
};

LedLine led_line_a = {1, 5};
LedLine led_line_b = {1, 6};

constexpr int switch_group = 0;
constexpr int switch_bit = 7;

void drive(const LedLine &line, int level)
{
    Hi_SetGpio_SetDir(line.group, line.bit, 1);
    Hi_SetGpio_SetBit(line.group, line.bit, level);
}

}  // namespace

int Set_StatusLed(int colour)
{
    if (colour != LED_BLUE && colour != LED_RED) {
        return 0;
    }
    int level_a = colour == LED_BLUE ? 1 : 0;
    int level_b = colour == LED_BLUE ? 0 : 1;
    drive(led_line_a, level_a);
    printf(".........Set GPIO %d_%d  set Value: %d...\n", led_line_a.group, led_line_a.bit, level_a);
    drive(led_line_b, level_b);
    if (colour == LED_BLUE) {
        printf(".........Set GPIO %d_%d  set Value: %d...blue...\n", led_line_b.group, led_line_b.bit,
               level_b);
    } else {
        printf(".........Set GPIO %d_%d  set Value: %d...red...\n", led_line_b.group, led_line_b.bit,
               level_b);
    }
    return 0;
}

int Poll_WifiSwitch()
{
    int value = 0;
    Hi_SetGpio_SetDir(switch_group, switch_bit, 0);
    if (Hi_SetGpio_GetBit(switch_group, switch_bit, &value) < 0) {
        printf("Get GPIO %d_%d error!\n", switch_group, switch_bit);
        return 0;
    }
    if (value == 0) {
        if (wifi_closed == 0) {
            puts("GLUN Close Wifi...........");
            wifi_closed = 1;
            Close_Wifi();
        }
        return 1;
    }
    // A mode is chosen on reopening even when none was chosen at start-up,
    // or a switch flipped during the start-up wait would leave the camera
    // offline until the next restart.
    if (wifi_closed == 1) {
        puts("GLUN OPEN Wifi...........");
        wifi_closed = 0;
        Change_to_WifiOrAP();
    }
    return 0;
}
