// The Wi-Fi switch on GPIO 0_7 and the two-colour status LED on 1_5 / 1_6.
#ifndef CAMNET_VELNOR_SWITCH_LED_H
#define CAMNET_VELNOR_SWITCH_LED_H

constexpr int LED_BLUE = 1;
constexpr int LED_RED = 2;

// Shows a colour; other codes do nothing. Always 0.
int Set_StatusLed(int colour);

// Follows the switch once: 1 when it is off (the pass ends there), 0 when
// it is on or cannot be read. Closes Wi-Fi when turned off, chooses a mode
// again when turned back on.
int Poll_WifiSwitch();

#endif
