// The one-time site survey into /mnt/sif/wifilist.conf: the scan of
// "iwlist wlan0 scanning", its parser, the sort and the list file.
#ifndef CAMNET_VELNOR_SITE_SURVEY_H
#define CAMNET_VELNOR_SITE_SURVEY_H

#include <cstdint>
#include <cstdio>

constexpr int WIFI_NODE_MAX = 100;   // entries of the survey list
constexpr int SCAN_CELL_MAX = 80;    // cells the parser keeps; later ones are ignored
constexpr int SCAN_LINE_SIZE = 512;  // scan output is read at most 511 bytes at a time

// One network of the list.
struct WifiNode {
    uint8_t reserved;  // never set nor read
    uint8_t mode;      // 2 in every completed entry
    uint8_t security;  // 0 open, 1 WEP, 2 WPA or WPA2
    char ssid[37];     // at most 32 characters, NUL-terminated
    int32_t signal;    // leading integer of the signal text
};

// The survey list; entries from `count` on carry no meaning.
struct WifiInfo {
    int32_t count;
    WifiNode node[WIFI_NODE_MAX];
};

// The parser's scratch record of one scan cell. essid, signal and mac are
// filled up to their full size and then hold no NUL.
struct ScanCell {
    char essid[32];
    uint8_t mode;
    char security[60];
    char signal[5];
    char mac[20];
    char frequency[6];
};

// 0 when the list was written (or the scan could not be started), -1 when
// nothing was found, the errno of a failed list-file replacement otherwise.
int WifiScanForAP();

// Runs the scan and parses it into `list`, which the caller has cleared.
// 0 when the output was read to its end, -1 when the scan could not start.
int Scan_WifiNodes(WifiInfo *list);

// Orders the completed entries strongest first, keeping the scan order of
// equal signals. -1 for a null list.
int Sort_WifiInfo(WifiInfo *list);

// Parses scan output from `in` up to its end into `list` (cleared by the
// caller), logging every field found, then the count.
void parse_scan_stream(FILE *in, WifiInfo *list);

// Writes the list file content: the count line, then the completed entries.
// 0, or -1 when the stream reports a write error.
int write_wifi_list(FILE *out, const WifiInfo &list);

// Replaces the file at `path` (the one its links lead to) with the list as a
// whole: readers see the old list or the new one. On failure the old file
// stays, the error line goes to stderr and the errno is returned; 0 on
// success.
int replace_wifi_list(const WifiInfo &list, const char *path);

#endif
