// The survey's pure parts: captured scan text in, the list and its file out.
#include "velnor/site_survey.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// As the camera's adapter prints them: a WPA2 cell, then an open one whose
// vendor IE lines follow "Encryption key:off".
const char *const two_cells =
    "wlan0     Scan completed :\n"
    "          Cell 01 - Address: 14:CF:92:5A:10:3E\n"
    "                    ESSID:\"HomeNet\"\n"
    "                    Protocol:IEEE 802.11bgn\n"
    "                    Mode:Master\n"
    "                    Frequency:2.437 GHz (Channel 6)\n"
    "                    Encryption key:on\n"
    "                    Bit Rates:150 Mb/s\n"
    "                    Extra:rsn_ie=30140100000fac040100000fac040100000fac020c00\n"
    "                    IE: IEEE 802.11i/WPA2 Version 1\n"
    "                        Group Cipher : CCMP\n"
    "                    Quality=100/100  Signal level=100/100  \n"
    "          Cell 02 - Address: 00:1D:0F:22:33:44\n"
    "                    ESSID:\"Cafe Guest\"\n"
    "                    Frequency:2.412 GHz (Channel 1)\n"
    "                    Encryption key:off\n"
    "                    IE: Unknown: DD0E0050F204104A0001101044000102\n"
    "                    IE: Unknown: DD090010180200001C0000\n"
    "                    Quality=40/100  Signal level=-71 dBm  \n";

std::string cell(const std::string &essid, const char *security = "Encryption key:off\n",
                 const char *signal = "Signal level=-50 dBm\n")
{
    return "Cell 01 - Address: 02:00:00:00:00:01\nESSID:" + essid +
           "\nFrequency:2.462 GHz (Channel 11)\n" + security + signal;
}

WifiInfo parse(const std::string &text, std::string *log = nullptr)
{
    static WifiInfo list;
    std::memset(&list, 0, sizeof list);
    FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    EXPECT_NE(in, nullptr);
    std::fflush(stdout);
    CaptureStdout();
    parse_scan_stream(in, &list);
    std::fflush(stdout);
    const std::string out = GetCapturedStdout();
    if (log != nullptr)
        *log = out;
    std::fclose(in);
    return list;
}

void expect_node(const WifiNode &node, const char *ssid, int signal, int security)
{
    EXPECT_STREQ(node.ssid, ssid);
    EXPECT_EQ(node.signal, signal) << ssid;
    EXPECT_EQ(node.security, security) << ssid;
    EXPECT_EQ(node.mode, 2) << ssid;
}

TEST(ScanParser, UsualCellsLogTheirFieldsInOrderAndFillTheList)
{
    std::string log;
    const WifiInfo list = parse(two_cells, &log);
    EXPECT_EQ(log,
              "MAC:14:CF:92:5A:10:3E\nssid:HomeNet\nfrequency:2.437\nSecurity_Mode:WPA2/WPA\n"
              "signal level:100/1\nagter signal level:100\n"
              "MAC:00:1D:0F:22:33:44\nssid:Cafe Guest\nfrequency:2.412\nSecurity_Mode:OPEN\n"
              "signal level:-71\nagter signal level:-71\nwififind.count : 2\n");
    ASSERT_EQ(list.count, 2);
    expect_node(list.node[0], "HomeNet", 100, 2);
    expect_node(list.node[1], "Cafe Guest", -71, 0);
}

TEST(ScanParser, CellsCompleteAfterFiveFieldsWhateverLinesTheyCameFrom)
{
    // No IE lines: four fields, completed by the next cell's address, which
    // then itself ends the output with four fields and is not counted.
    std::string log;
    WifiInfo list = parse(cell("\"Locked\"", "Encryption key:on\n", "Signal level=-60 dBm\n") +
                              cell("\"Next\"", "IE: WPA Version 1\n"),
                          &log);
    ASSERT_EQ(list.count, 1);
    expect_node(list.node[0], "Locked", -60, 0);
    EXPECT_NE(log.find("wififind.count : 1\n"), std::string::npos);

    // An IE line right after a completion is no field of the next cell.
    list = parse(cell("\"A\"") + "IE: WPA Version 1\n" + cell("\"B\""));
    ASSERT_EQ(list.count, 2);
    expect_node(list.node[1], "B", -50, 0);

    // A line with two patterns yields the first only: a second frequency
    // completes the cell, which has no signal.
    list = parse(cell("\"Both\"", "Encryption key:off\n",
                      "Frequency:2.412 GHz  Signal level=-40 dBm\n") +
                     cell("\"After\""),
                 &log);
    ASSERT_EQ(list.count, 2);
    expect_node(list.node[0], "Both", 0, 0);
    expect_node(list.node[1], "After", -50, 0);
    EXPECT_EQ(log.find("signal level:-40"), std::string::npos);

    // Reads take at most 511 bytes: a pattern across that border is lost, a
    // name cut there is empty, the rest of a line is a line of its own.
    list = parse("Cell 01 - Address: 02:00:00:00:00:01\n" + std::string(505, 'x') +
                     "ESSID:\"Cut\"\n" + std::string(520, 'x') + "ESSID:\"Far\"\n" +
                     std::string(505, ' ') + "Signal level=-40 dBm\nFrequency:2.412 GHz\n" +
                     "Encryption key:off\n",
                 &log);
    ASSERT_EQ(list.count, 1);
    expect_node(list.node[0], "Far", 0, 0);
    EXPECT_NE(log.find("MAC:02:00:00:00:00:01\nssid:\nssid:Far\nfrequency:2.412\n"),
              std::string::npos);
}

TEST(ScanParser, KeepsTheFirstEightyCellsAndReadsNoCellAtAll)
{
    std::string text;
    for (int i = 0; i < 85; ++i)
        text += cell("\"N" + std::to_string(i) + "\"");
    std::string log;
    WifiInfo list = parse(text, &log);
    ASSERT_EQ(list.count, 80);
    expect_node(list.node[79], "N79", -50, 0);
    EXPECT_EQ(list.node[80].ssid[0], '\0');
    EXPECT_EQ(log.find("ssid:N80\n"), std::string::npos);
    EXPECT_NE(log.find("wififind.count : 80\n"), std::string::npos);

    list = parse("wlan0     No scan results\n", &log);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(log, "wififind.count : 0\n");
}

WifiInfo list_of(std::initializer_list<std::pair<const char *, int>> entries)
{
    WifiInfo list = {};
    for (const auto &entry : entries) {
        WifiNode &node = list.node[list.count++];
        std::snprintf(node.ssid, sizeof node.ssid, "%s", entry.first);
        node.signal = entry.second;
        node.security = 2;
        node.mode = 2;
    }
    return list;
}

TEST(SortWifiInfo, StrongestFirstAndEqualSignalsKeepScanOrder)
{
    WifiInfo list = list_of({{"a", -70}, {"b", -40}, {"c", -70}, {"d", -40}, {"past", 90}});
    list.count = 4;  // the last entry is not completed
    CaptureStdout();
    EXPECT_EQ(Sort_WifiInfo(&list), 0);
    EXPECT_EQ(Sort_WifiInfo(nullptr), -1);
    EXPECT_EQ(GetCapturedStdout(),
              "[Sort_WifiInfo, 622] ...pWifiInfo->count:4...\n"
              "[Sort_WifiInfo, 619] wifi info is empty!!!\n");
    const char *order[] = {"b", "d", "a", "c", "past"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(list.node[i].ssid, order[i]);
}

class WifiListFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(mkdtemp(dir_), nullptr);
        std::snprintf(path_, sizeof path_, "%s/wifilist.conf", dir_);
    }
    void TearDown() override
    {
        const std::string command = std::string("rm -rf ") + dir_;
        ASSERT_EQ(system(command.c_str()), 0);
    }
    // Names in the folder, then the list. By ls: readdir() of a 32-bit build
    // under qemu-user fails on host file systems with 64-bit offsets.
    std::string folder() const
    {
        const std::string command = std::string("ls -A ") + dir_ + "; cat " + path_;
        FILE *shell = popen(command.c_str(), "r");
        char text[4096];
        const std::string out(text, std::fread(text, 1, sizeof text, shell));
        pclose(shell);
        return out;
    }
    char dir_[64] = "/tmp/wifilist_test.XXXXXX";
    char path_[96] = {};
};

TEST_F(WifiListFile, ReplacedWholeKeepingItsMode)
{
    FILE *old = std::fopen(path_, "w");
    std::fputs("wifiFind_count=9\n", old);
    std::fclose(old);
    chmod(path_, 0640);
    const WifiInfo list = list_of({{"", -60}, {"My Home Net", -61}});
    EXPECT_EQ(replace_wifi_list(list, path_), 0);
    EXPECT_EQ(folder(), "wifilist.conf\nwifiFind_count=2\n -60 2 2\nMy Home Net -61 2 2\n");
    struct stat st;
    ASSERT_EQ(stat(path_, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(WifiListFile, LeftoverOfACutOffEarlierRunIsNoObstacle)
{
    // Power lost between writing the new list and renaming it; the next
    // boot often gives the daemon the same process ID.
    char leftover[128];
    std::snprintf(leftover, sizeof leftover, "%s/.wifilist.conf.%d.tmp", dir_,
                  static_cast<int>(getpid()));
    FILE *stale = std::fopen(leftover, "w");
    ASSERT_NE(stale, nullptr);
    std::fputs("wifiFind_count=5\nhalf", stale);
    std::fclose(stale);
    EXPECT_EQ(replace_wifi_list(list_of({{"New", -50}}), path_), 0);
    EXPECT_EQ(folder(), "wifilist.conf\nwifiFind_count=1\nNew -50 2 2\n");
}

TEST_F(WifiListFile, ListBehindALinkIsWrittenWhereTheLinkPoints)
{
    char folder_path[96];
    std::snprintf(folder_path, sizeof folder_path, "%s/ram", dir_);
    ASSERT_EQ(mkdir(folder_path, 0755), 0);
    ASSERT_EQ(symlink("ram/wifilist.conf", path_), 0);
    EXPECT_EQ(replace_wifi_list(list_of({{"New", -50}}), path_), 0);
    struct stat st;
    ASSERT_EQ(lstat(path_, &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(folder(), "ram\nwifilist.conf\nwifiFind_count=1\nNew -50 2 2\n");
}

TEST_F(WifiListFile, FailuresReportTheErrorAndKeepTheOldList)
{
    const WifiInfo list = list_of({{"New", -50}});
    ASSERT_EQ(replace_wifi_list(list, path_), 0);
    const std::string before = folder();

    // A full disk: the write fails, so the old list must stay.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    // Room for the error line on the captured stderr, not for the list.
    rlimit tiny = {64, saved.rlim_max};
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tiny);
    ::testing::internal::CaptureStderr();
    const int full = replace_wifi_list(list_of({{"Bigger list 1", -40}, {"Bigger list 2", -41}, {"Bigger list 3", -42}}), path_);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::string missing_folder(path_);
    missing_folder.insert(missing_folder.rfind('/'), "/gone");
    const int missing = replace_wifi_list(list, missing_folder.c_str());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[WifiScanForAP, 584] fopen error with: 27, File too large\n"
              "[WifiScanForAP, 584] fopen error with: 2, No such file or directory\n");
    EXPECT_EQ(full, EFBIG);
    EXPECT_EQ(missing, ENOENT);
    EXPECT_EQ(folder(), before);
}

}  // namespace
