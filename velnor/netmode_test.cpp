// The queue vocabulary: the texts the consumer tells the modes apart by.
#include "velnor/netmode.h"

#include <gtest/gtest.h>

namespace {

TEST(NetModeText, EveryModeHasItsText)
{
    EXPECT_STREQ(netmode_text(NETMODE_WIRE), "NETMODE_WIRE");
    EXPECT_STREQ(netmode_text(NETMODE_WIFISTA), "NETMODE_WIFISTA");
    EXPECT_STREQ(netmode_text(NETMODE_WIFIAP), "NETMODE_WIFIAP");
    EXPECT_STREQ(netmode_text(NETMODE_WIFICLOSE), "NETMODE_WIFICLOSE");
    EXPECT_STREQ(netmode_text(NETMODE_TFUP), "NETMODE_TFUP");
    EXPECT_STREQ(netmode_text(NETMODE_TFDOWN), "NETMODE_TFDOWN");
}

TEST(NetModeText, ValuesOutsideTheVocabularyAreEmpty)
{
    for (int value : {-1, 6, 7, 1000, -2147483647 - 1, 2147483647}) {
        EXPECT_STREQ(netmode_text(static_cast<NetMode>(value)), "") << value;
        EXPECT_EQ(netmode_log_line(static_cast<NetMode>(value)), 0) << value;
    }
}

TEST(NetModeText, OnlyNetworkModesHaveALogLine)
{
    EXPECT_EQ(netmode_log_line(NETMODE_WIRE), 80);
    EXPECT_EQ(netmode_log_line(NETMODE_WIFISTA), 86);
    EXPECT_EQ(netmode_log_line(NETMODE_WIFIAP), 92);
    EXPECT_EQ(netmode_log_line(NETMODE_WIFICLOSE), 98);
    EXPECT_EQ(netmode_log_line(NETMODE_TFUP), 0);
    EXPECT_EQ(netmode_log_line(NETMODE_TFDOWN), 0);
}

}  // namespace
