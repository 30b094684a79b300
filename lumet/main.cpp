// lumet: blinks the LEDs on GPIO 7_6 and 2_3 in turn, one step every 250 ms,
// until it is killed.
#include "common/std_fds.h"
#include "gpio/hi_gpio.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

int blink_turn = 0;
int level_7_6 = 1;
int level_2_3 = 1;

int inverted(int flag)
{
    return flag == 0 ? 1 : 0;
}

// Runs a platform command and waits for it; its status tells us nothing useful.
void run_command(const char *command)
{
    int status = system(command);
    (void)status;
}

void drive_line(int group, int bit, int level)
{
    Hi_SetGpio_SetDir(group, bit, 1);
    Hi_SetGpio_SetBit(group, bit, level);
}

}  // namespace

int Drive_Leds()
{
    blink_turn = inverted(blink_turn);
    if (blink_turn == 1) {
        level_7_6 = inverted(level_7_6);
        drive_line(7, 6, level_7_6);
    } else {
        level_2_3 = inverted(level_2_3);
        drive_line(2, 3, level_2_3);
    }
    return 0;
}

int main()
{
    keep_std_fds_open();
    line_buffer_stdout();
    puts("...............tqm lumet start, ver: 2015-06-30...............");
    // Pin multiplexing of the two LED lines to GPIO, before the device is used.
    run_command("himm 0x200f0108 0x0");
    run_command("himm 0x200f0130 0x0");
    HI_SetGpio_Open();
    for (;;) {
        Drive_Leds();
        usleep(250000);
    }
}
