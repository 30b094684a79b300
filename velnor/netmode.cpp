#include "velnor/netmode.h"

namespace {

struct NetModeEntry {
    const char *text;
    int log_line;
};

constexpr NetModeEntry netmode_table[] = {
    {"NETMODE_WIRE", 80},
    {"NETMODE_WIFISTA", 86},
    {"NETMODE_WIFIAP", 92},
    {"NETMODE_WIFICLOSE", 98},
    {"NETMODE_TFUP", 0},
    {"NETMODE_TFDOWN", 0},
};
constexpr int netmode_count = static_cast<int>(sizeof netmode_table / sizeof netmode_table[0]);

bool known(NetMode netmode)
{
    return netmode >= 0 && netmode < netmode_count;
}

}  // namespace

const char *netmode_text(NetMode netmode)
{
    return known(netmode) ? netmode_table[netmode].text : "";
}

int netmode_log_line(NetMode netmode)
{
    return known(netmode) ? netmode_table[netmode].log_line : 0;
}
