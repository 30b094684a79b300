// The "wpa_cli status" reader, fed captured and crafted output.
#include "velnor/wpa_status.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

int read_text(const char *text)
{
    FILE *stream = fmemopen(const_cast<char *>(text), strlen(text), "r");
    EXPECT_NE(stream, nullptr);
    int result = read_wpa_status(stream);
    fclose(stream);
    return result;
}

constexpr const char *associated_output =
    "Selected interface 'wlan0'\n"
    "bssid=00:11:22:33:44:55\n"
    "ssid=HomeNet\n"
    "id=0\n"
    "mode=station\n"
    "pairwise_cipher=CCMP\n"
    "group_cipher=CCMP\n"
    "key_mgmt=WPA2-PSK\n"
    "wpa_state=COMPLETED\n"
    "ip_address=192.168.1.23\n"
    "address=00:e0:4c:81:86:01\n";

TEST(WpaStatus, CompletedStateIsAssociated)
{
    EXPECT_EQ(read_text(associated_output), 1);
}

TEST(WpaStatus, OtherStatesAreNotAssociated)
{
    for (const char *state : {"SCANNING", "ASSOCIATING", "4WAY_HANDSHAKE", "DISCONNECTED",
                              "COMPLETE", "completed", "COMPLETED_"}) {
        char text[256];
        snprintf(text, sizeof text, "Selected interface 'wlan0'\nwpa_state=%s\n", state);
        EXPECT_EQ(read_text(text), 0) << state;
    }
}

TEST(WpaStatus, FirstLineIsAlwaysSkipped)
{
    EXPECT_EQ(read_text("wpa_state=COMPLETED\nmode=station\n"), 0);
    EXPECT_EQ(read_text(""), 0);
}

TEST(WpaStatus, LastLineWithoutNewlineIsReadWhole)
{
    EXPECT_EQ(read_text("Selected interface 'wlan0'\nwpa_state=COMPLETED"), 1);
}

TEST(WpaStatus, ValueEndsAtSingleQuote)
{
    EXPECT_EQ(read_text("Selected interface 'wlan0'\nwpa_state=COMPLETED'x\n"), 1);
}

TEST(WpaStatus, KeyMustBeExactlyWpaState)
{
    EXPECT_FALSE(wpa_line_completed("xwpa_state=COMPLETED"));
    EXPECT_FALSE(wpa_line_completed("wpa_state =COMPLETED"));
    EXPECT_FALSE(wpa_line_completed("wpa_statewpa_state=COMPLETED"));
    EXPECT_FALSE(wpa_line_completed("=COMPLETED"));
    EXPECT_FALSE(wpa_line_completed("wpa_state="));
    EXPECT_TRUE(wpa_line_completed("wpa_state=COMPLETED"));
}

TEST(WpaStatus, LongKeysAndValuesStayInTheirFieldsAndStateIsStillFound)
{
    char key_line[600];
    memset(key_line, 'k', 500);
    snprintf(key_line + 500, sizeof key_line - 500, "=%s", "COMPLETED");
    EXPECT_FALSE(wpa_line_completed(key_line));

    char value_line[600];
    int used = snprintf(value_line, sizeof value_line, "wpa_state=COMPLETED");
    memset(value_line + used, 'v', 400);
    value_line[used + 400] = '\0';
    EXPECT_FALSE(wpa_line_completed(value_line));

    // Long lines before the state line do not hide it.
    char output[2048];
    snprintf(output, sizeof output, "Selected interface 'wlan0'\n%s\n%s\nwpa_state=COMPLETED\n",
             key_line, value_line);
    EXPECT_EQ(read_text(output), 1);
}

}  // namespace
