// Memory-card signals: each delivery announced once, in arrival order, and
// how they meet the daemon's sleeps. The queue is replaced by a recorder so
// the tests never touch a real message queue.
#include "velnor/notify.h"
#include "velnor/platform.h"
#include "velnor/signals.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace {

std::vector<NetMode> sent;

double seconds_now()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class CardSignals : public ::testing::Test {
protected:
    void SetUp() override
    {
        install_signal_handlers();
        deliver_pending_signals();
        sent.clear();
    }
};

TEST_F(CardSignals, EachDeliveryIsAnnouncedOnceInArrivalOrder)
{
    sig_handler(SIGUSR2);
    sig_handler(SIGUSR1);
    sig_handler(SIGUSR2);
    ASSERT_TRUE(signals_pending());
    deliver_pending_signals();
    EXPECT_EQ(sent, (std::vector<NetMode>{NETMODE_TFDOWN, NETMODE_TFUP, NETMODE_TFDOWN}));
    EXPECT_FALSE(signals_pending());
    deliver_pending_signals();
    EXPECT_EQ(sent.size(), 3U);
}

TEST_F(CardSignals, DeliveriesBeyondTheArrivalRingAreStillAnnounced)
{
    for (int i = 0; i < 64; ++i) {
        sig_handler(SIGUSR1);
    }
    for (int i = 0; i < 3; ++i) {
        sig_handler(SIGUSR2);  // no room left in the ring
    }
    deliver_pending_signals();
    std::vector<NetMode> expected(64, NETMODE_TFUP);
    expected.insert(expected.end(), 3, NETMODE_TFDOWN);
    EXPECT_EQ(sent, expected);
    EXPECT_FALSE(signals_pending());

    // The ring has room again and the order is kept as before.
    sent.clear();
    sig_handler(SIGUSR2);
    sig_handler(SIGUSR1);
    deliver_pending_signals();
    EXPECT_EQ(sent, (std::vector<NetMode>{NETMODE_TFDOWN, NETMODE_TFUP}));
}

TEST_F(CardSignals, OneThatCameBeforeASleepIsAnnouncedAndTheSleepRunsWhole)
{
    sig_handler(SIGUSR1);  // came during a device request, say
    const double start = seconds_now();
    pause_micros(200000);
    EXPECT_GE(seconds_now() - start, 0.19);
    EXPECT_EQ(sent, (std::vector<NetMode>{NETMODE_TFUP}));
}

TEST_F(CardSignals, OneDuringASleepCutsItShortAndIsAnnounced)
{
    const pid_t parent = getpid();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        usleep(100000);
        kill(parent, SIGUSR2);
        _exit(0);
    }
    const double start = seconds_now();
    pause_seconds(20);
    const double slept = seconds_now() - start;
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_LT(slept, 10.0);
    EXPECT_EQ(sent, (std::vector<NetMode>{NETMODE_TFDOWN}));
}

}  // namespace

// Stands in for the queue sender of notify.cpp.
int VQ_MessageQueue_Send(NetMode netmode)
{
    sent.push_back(netmode);
    return 0;
}
