#include "rateprobe/reply.h"

#include <arpa/inet.h>
#include <pthread.h>

#include <gtest/gtest.h>

namespace {

in_addr_t host(unsigned n)
{
    return htonl(0x7F000000u + n);  // 127.0.0.n
}

TEST(ReplyQualifies, MessageTypeFifteenFromAProbedHostOnly)
{
    ProbedServers probed;
    unsigned char buffer[512] = {0x11, 0x22, 0x33, 0x44, 0xF0};
    // Nothing probed yet: nobody qualifies.
    EXPECT_FALSE(reply_qualifies(buffer, host(2), probed));
    probed.add(host(2));
    probed.add(host(3));
    EXPECT_FALSE(reply_qualifies(buffer, host(4), probed));
    for (unsigned byte4 = 0; byte4 <= 0xFF; ++byte4) {
        buffer[4] = static_cast<unsigned char>(byte4);
        EXPECT_EQ(reply_qualifies(buffer, host(3), probed), byte4 >= 0xF0) << byte4;
    }
}

TEST(ProbedServers, TwentyDistinctHostsAndNeverTheBroadcastAddress)
{
    ProbedServers probed;
    probed.add(INADDR_NONE);  // where an unresolved server's probes go
    EXPECT_FALSE(probed.contains(INADDR_NONE));
    // Three probes per server must not use up three places.
    for (int round = 0; round < 3; ++round) {
        for (unsigned i = 1; i <= 21; ++i) {
            probed.add(host(i));
        }
    }
    EXPECT_TRUE(probed.contains(host(1)));
    EXPECT_TRUE(probed.contains(host(20)));
    EXPECT_FALSE(probed.contains(host(21)));
}

// The probe pass adds while the receiver asks: whoever sees an address sees
// every one added before it (and ThreadSanitizer sees no race).
struct Race {
    ProbedServers probed;
    std::atomic<bool> done{false};
    std::atomic<int> out_of_order{0};
};

void *ask(void *argument)
{
    auto *race = static_cast<Race *>(argument);
    while (!race->done.load()) {
        // Highest first: what was visible then stays visible, so no false alarm.
        unsigned highest = kMaxServers;
        while (highest > 0 && !race->probed.contains(host(highest))) {
            --highest;
        }
        for (unsigned i = 1; i < highest; ++i) {
            if (!race->probed.contains(host(i))) {
                race->out_of_order.fetch_add(1);
            }
        }
    }
    return nullptr;
}

TEST(ProbedServers, AddingWhileAnotherThreadAsks)
{
    Race race;
    pthread_t asker;
    ASSERT_EQ(pthread_create(&asker, nullptr, ask, &race), 0);
    for (unsigned i = 1; i <= kMaxServers; ++i) {
        race.probed.add(host(i));
    }
    race.done.store(true);
    pthread_join(asker, nullptr);
    EXPECT_EQ(race.out_of_order.load(), 0);
}

}  // namespace
