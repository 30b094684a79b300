// The survey itself: a fresh supplicant, the scan, the list file.
#include "velnor/site_survey.h"

#include "velnor/link_mode.h"
#include "velnor/platform.h"

#include <cstring>

namespace {

const char *const SCAN_COMMAND = "iwlist wlan0 scanning";
const char *const LIST_PATH = "/mnt/sif/wifilist.conf";

}  // namespace

int Scan_WifiNodes(WifiInfo *list)
{
    CommandPipe scan(SCAN_COMMAND);
    if (!scan.is_open()) {
        std::puts("file popened failed");
        return -1;
    }
    parse_scan_stream(scan.stream(), list);
    return 0;
}

int WifiScanForAP()
{
    run_command("killall -q wpa_supplicant");
    pause_seconds(1);
    Launch_Supplicant("WifiScanForAP", 538);
    pause_seconds(3);

    WifiInfo list;
    std::memset(&list, 0, sizeof list);
    if (Scan_WifiNodes(&list) != 0) {
        std::printf("[%s - %d]: ", "WifiScanForAP", 560);
        std::puts("......search wifi node failed !");
        return 0;
    }
    std::printf("[%s - %d]: ", "WifiScanForAP", 572);
    std::printf("search wifi result, count:%d\n", static_cast<int>(list.count));
    if (list.count < 1) {
        std::puts("There's no available wifi node here !");
        return -1;
    }
    if (Sort_WifiInfo(&list) != 0) {
        std::puts("......sort wifi info failed......");
        return -1;
    }
    return replace_wifi_list(list, LIST_PATH);
}
