// Parser of "iwlist wlan0 scanning" output. A cell is complete after five
// fields, whatever lines they came from; the usual cell gives exactly five:
// address, name, frequency, one security field and the signal level.
#include "velnor/site_survey.h"

#include <cstring>

namespace {

struct ScanParser {
    ScanCell cell[SCAN_CELL_MAX];
    int fields;          // counted since the last completed cell
    bool security_seen;  // later "IE: " lines of the cell are not fields
    WifiInfo *list;      // the cell in progress has the index list->count
};

// Takes up to `size` bytes of `from` into `field`, ending at the end of the
// text or before any byte of `stops`. A full field keeps no NUL.
void take_field(char *field, size_t size, const char *from, const char *stops)
{
    std::memset(field, 0, size);
    for (size_t i = 0; i < size && from[i] != '\0' && std::strchr(stops, from[i]) == nullptr; ++i)
        field[i] = from[i];
}

// The signed decimal integer at the start of an unterminated field; 0 when
// there is none.
int32_t leading_int(const char *field, size_t size)
{
    size_t i = 0;
    bool negative = false;
    if (i < size && (field[i] == '-' || field[i] == '+')) {
        negative = field[i] == '-';
        ++i;
    }
    int32_t value = 0;
    for (; i < size && field[i] >= '0' && field[i] <= '9'; ++i)
        value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

template <size_t N>
int width(const char (&)[N])
{
    return static_cast<int>(N);
}

void set_security(ScanParser &parser, ScanCell &cell, WifiNode &node, const char *text,
                  uint8_t security)
{
    std::snprintf(cell.security, sizeof cell.security, "%s", text);
    node.security = security;
    parser.security_seen = true;
    std::printf("Security_Mode:%s\n", cell.security);
}

// At most one field per line: the first pattern found, in this order.
bool take_line(ScanParser &parser, ScanCell &cell, WifiNode &node, const char *line)
{
    const char *at;
    if ((at = std::strstr(line, "Address: ")) != nullptr) {
        take_field(cell.mac, sizeof cell.mac, at + 9, " \n");
        std::printf("MAC:%.*s\n", width(cell.mac), cell.mac);
    } else if ((at = std::strstr(line, "ESSID:")) != nullptr) {
        const char *name = at + 6;
        if (*name != '\0')
            ++name;  // the opening quote
        take_field(cell.essid, sizeof cell.essid, name, "\"\n");
        std::memset(node.ssid, 0, sizeof node.ssid);
        std::memcpy(node.ssid, cell.essid, strnlen(cell.essid, sizeof cell.essid));
        std::printf("ssid:%.*s\n", width(cell.essid), cell.essid);
    } else if ((at = std::strstr(line, "Frequency:")) != nullptr) {
        take_field(cell.frequency, sizeof cell.frequency - 1, at + 10, " \n");
        std::printf("frequency:%s\n", cell.frequency);
    } else if (std::strstr(line, "Encryption key:off") != nullptr) {
        set_security(parser, cell, node, "OPEN", 0);
    } else if (std::strstr(line, "IE: ") != nullptr && parser.fields >= 1 &&
               !parser.security_seen) {
        if (std::strstr(line, "WPA") != nullptr)
            set_security(parser, cell, node, "WPA2/WPA", 2);
        else
            set_security(parser, cell, node, "WEP", 1);
    } else if ((at = std::strstr(line, "Signal level=")) != nullptr) {
        take_field(cell.signal, sizeof cell.signal, at + 13, " ");
        node.signal = leading_int(cell.signal, sizeof cell.signal);
        std::printf("signal level:%.*s\n", width(cell.signal), cell.signal);
        std::printf("agter signal level:%d\n", static_cast<int>(node.signal));
    } else {
        return false;
    }
    return true;
}

void feed_line(ScanParser &parser, const char *line)
{
    WifiInfo &list = *parser.list;
    if (list.count >= SCAN_CELL_MAX)
        return;  // no room for more cells: the rest of the scan is read and dropped
    ScanCell &cell = parser.cell[list.count];
    WifiNode &node = list.node[list.count];
    if (!take_line(parser, cell, node, line))
        return;
    if (++parser.fields == 5) {
        parser.security_seen = false;
        parser.fields = 0;
        node.mode = 2;
        cell.mode = 2;
        ++list.count;
    }
}

}  // namespace

void parse_scan_stream(FILE *in, WifiInfo *list)
{
    ScanParser parser = {};
    parser.list = list;
    list->count = 0;
    char line[SCAN_LINE_SIZE] = {};
    // At most 511 bytes a read: the rest of a longer line is read as a line
    // of its own.
    while (std::fgets(line, sizeof line, in) != nullptr)
        feed_line(parser, line);
    std::printf("wififind.count : %d\n", static_cast<int>(list->count));
}
