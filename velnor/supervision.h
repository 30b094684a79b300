// What one pass of the supervision loop does, decided from the link state,
// the pass counter and the switch, without touching the platform.
#ifndef CAMNET_VELNOR_SUPERVISION_H
#define CAMNET_VELNOR_SUPERVISION_H

#include <cstdint>

#include "velnor/velnor.h"

enum class PassAction : uint8_t {
    SwitchOff,           // the switch is off: nothing else this pass
    Idle,                // nothing to watch
    RestartCounter,      // nothing to watch, and the pass counter restarts at 0
    Associated,          // first query confirmed the station: LED, state, message
    AssociatedOnRecheck, // second query confirmed it: state, message, LED
    KeepWaiting,         // not associated yet, not a give-up pass
    GiveUpStation,       // still not associated: open the access point instead
};

// Past this the station is not queried; past the limit the counter restarts.
constexpr uint32_t quiet_from = 900;
constexpr uint32_t counter_limit = 1000;

// `elapsed` is the pass counter after this pass's increment; `query` asks
// the supplicant (result above 0 = associated) and is called only when the
// decision needs it, at most twice.
template <typename Query>
PassAction decide_pass(int16_t link_state, uint32_t elapsed, bool switch_off, Query &&query)
{
    if (switch_off) {
        return PassAction::SwitchOff;
    }
    if (link_state == LINK_AP || link_state == LINK_SETTLED || elapsed > quiet_from) {
        return elapsed > counter_limit ? PassAction::RestartCounter : PassAction::Idle;
    }
    if (link_state != LINK_STA_CONNECTING) {
        return PassAction::Idle;
    }
    if (query() > 0) {
        return PassAction::Associated;
    }
    if (elapsed % 10 != 0) {
        return PassAction::KeepWaiting;
    }
    return query() > 0 ? PassAction::AssociatedOnRecheck : PassAction::GiveUpStation;
}

#endif
