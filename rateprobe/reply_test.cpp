#include "rateprobe/reply.h"

#include <arpa/inet.h>
#include <pthread.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

in_addr_t addr(const char *text)
{
    return inet_addr(text);
}

// A zeroed receive buffer with the first `length` bytes of `bytes` in it.
struct Buffer {
    unsigned char bytes[512] = {};
    Buffer(const unsigned char *data, size_t length) { std::memcpy(bytes, data, length); }
};

TEST(ReplyQualifies, MessageTypeFifteenFromAProbedServer)
{
    ProbedServers probed;
    probed.add(addr("127.0.0.2"));
    for (unsigned byte4 = 0; byte4 <= 0xFF; ++byte4) {
        const unsigned char data[5] = {0x11, 0x22, 0x33, 0x44, static_cast<unsigned char>(byte4)};
        Buffer buffer(data, sizeof data);
        EXPECT_EQ(reply_qualifies(buffer.bytes, addr("127.0.0.2"), probed), byte4 >= 0xF0)
            << std::hex << byte4;
    }
}

TEST(ReplyQualifies, AnEchoedProbeQualifies)
{
    ProbedServers probed;
    probed.add(addr("10.1.2.3"));
    const unsigned char probe[13] = {0, 0, 0x70, 0x01, 0xF2, 0, 0, 9, 0, 0, 0, 0, 0};
    Buffer buffer(probe, sizeof probe);
    EXPECT_TRUE(reply_qualifies(buffer.bytes, addr("10.1.2.3"), probed));
}

TEST(ReplyQualifies, HostsNeverProbedAreIgnored)
{
    const unsigned char data[8] = {0, 0, 0, 0, 0xFF, 0, 0, 0};
    Buffer buffer(data, sizeof data);
    ProbedServers probed;
    // Before the probe pass nobody qualifies.
    EXPECT_FALSE(reply_qualifies(buffer.bytes, addr("127.0.0.2"), probed));
    probed.add(addr("127.0.0.2"));
    probed.add(addr("127.0.0.3"));
    EXPECT_FALSE(reply_qualifies(buffer.bytes, addr("127.0.0.4"), probed));
    EXPECT_FALSE(reply_qualifies(buffer.bytes, addr("127.0.0.1"), probed));
    EXPECT_TRUE(reply_qualifies(buffer.bytes, addr("127.0.0.3"), probed));
}

TEST(ReplyQualifies, ShortDatagramIntoAZeroedBufferNeverQualifies)
{
    ProbedServers probed;
    probed.add(addr("127.0.0.2"));
    const unsigned char data[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    Buffer buffer(data, sizeof data);
    EXPECT_FALSE(reply_qualifies(buffer.bytes, addr("127.0.0.2"), probed));
}

TEST(ProbedServers, BroadcastAddressOfAnUnresolvedServerIsNeverProbed)
{
    ProbedServers probed;
    probed.add(INADDR_NONE);
    EXPECT_FALSE(probed.contains(INADDR_NONE));
}

TEST(ProbedServers, RepeatedAddressesLeaveRoomForTwentyServers)
{
    ProbedServers probed;
    // Three probes per server and the same server under several keys.
    for (int round = 0; round < 3; ++round) {
        for (unsigned i = 1; i <= kMaxServers; ++i) {
            probed.add(htonl(0x7F000000u + i));
        }
    }
    for (unsigned i = 1; i <= kMaxServers; ++i) {
        EXPECT_TRUE(probed.contains(htonl(0x7F000000u + i))) << i;
    }
    probed.add(htonl(0x7F000000u + 21));
    EXPECT_FALSE(probed.contains(htonl(0x7F000000u + 21)));
}

// The probe pass adds while the receiver asks. Whoever sees an address must
// also see every address added before it.
struct Race {
    ProbedServers probed;
    std::atomic<bool> done{false};
    std::atomic<int> out_of_order{0};
};

void *ask_while_adding(void *argument)
{
    auto *race = static_cast<Race *>(argument);
    while (!race->done.load()) {
        for (unsigned i = kMaxServers; i >= 1; --i) {
            if (race->probed.contains(htonl(0x0A000000u + i))) {
                for (unsigned j = 1; j < i; ++j) {
                    if (!race->probed.contains(htonl(0x0A000000u + j))) {
                        race->out_of_order.fetch_add(1);
                    }
                }
                break;
            }
        }
    }
    return nullptr;
}

TEST(ProbedServers, AddingWhileAnotherThreadAsks)
{
    Race race;
    pthread_t asker;
    ASSERT_EQ(pthread_create(&asker, nullptr, ask_while_adding, &race), 0);
    for (unsigned i = 1; i <= kMaxServers; ++i) {
        race.probed.add(htonl(0x0A000000u + i));
    }
    race.done.store(true);
    pthread_join(asker, nullptr);
    EXPECT_EQ(race.out_of_order.load(), 0);
    EXPECT_TRUE(race.probed.contains(htonl(0x0A000000u + kMaxServers)));
}

}  // namespace
