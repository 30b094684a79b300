// velnor: the network supervisor daemon. Start-up, the wait for the Wi-Fi
// switch, the first mode choice, then a pass every 3 s until killed.
#include "common/std_fds.h"
#include "gpio/hi_gpio.h"
#include "velnor/link_mode.h"
#include "velnor/notify.h"
#include "velnor/pid_file.h"
#include "velnor/platform.h"
#include "velnor/settings.h"
#include "velnor/signals.h"
#include "velnor/supervision.h"
#include "velnor/switch_led.h"
#include "velnor/velnor.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr int switch_group = 0;
constexpr int switch_bit = 7;

// A failed read leaves `value` as it was: -1 before any good read (an
// unreadable switch counts as on), the last level read after one (a read
// failing while the switch is off does not end the wait).
void read_switch(int &value)
{
    Hi_SetGpio_SetDir(switch_group, switch_bit, 0);
    Hi_SetGpio_GetBit(switch_group, switch_bit, &value);
}

// Discharges the switch line, then waits until the switch is on.
void wait_for_switch(int &val_read)
{
    Hi_SetGpio_SetDir(switch_group, switch_bit, 1);
    Hi_SetGpio_SetBit(switch_group, switch_bit, 0);
    pause_micros(200000);
    read_switch(val_read);
    if (val_read == 0) {
        printf("tqm Close Wifi...val_read=%d.............\n", val_read);
        for (;;) {
            read_switch(val_read);
            if (val_read != 0) {
                break;
            }
            pause_seconds(2);
        }
    }
}

void run_pass(uint32_t &elapsed)
{
    pause_seconds(3);
    elapsed += 2;
    bool switch_off = Poll_WifiSwitch() == 1;
    PassAction action = decide_pass(LinkState, elapsed, switch_off,
                                    [] { return Check_WPACLI_Status(1); });
    switch (action) {
    case PassAction::RestartCounter:
        elapsed = 0;
        break;
    case PassAction::Associated:
        Set_StatusLed(LED_BLUE);
        LinkState = LINK_SETTLED;
        VQ_MessageQueue_Send(NETMODE_WIFISTA);
        break;
    case PassAction::AssociatedOnRecheck:
        LinkState = LINK_SETTLED;
        VQ_MessageQueue_Send(NETMODE_WIFISTA);
        Set_StatusLed(LED_BLUE);
        break;
    case PassAction::GiveUpStation:
        LinkState = LINK_SETTLED;
        pause_seconds(1);
        Start_AP_Mode();
        puts("WifiAP...55................");
        break;
    case PassAction::SwitchOff:
    case PassAction::Idle:
    case PassAction::KeepWaiting:
        break;
    }
}

}  // namespace

int main()
{
    keep_std_fds_open();
    line_buffer_stdout();

    run_command("insmod /komod/8188eu.ko");
    pause_micros(1000);
    Init_Wireless_Setting();
    install_signal_handlers();
    Write_PidFile();
    puts(".............. velnor start, ver: 3516C_2015_07_03 ...............");

    int val_read = -1;
    wait_for_switch(val_read);
    read_switch(val_read);
    if (val_read != 0) {
        printf("[%s - %d]: ", "main", 1379);
        puts(".........WIRELESS.........");
        Change_to_WifiOrAP();
        puts("WifiAP...11................");
    }

    uint32_t elapsed = 0;
    for (;;) {
        run_pass(elapsed);
    }
}
