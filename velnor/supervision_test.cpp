// The supervision-pass decision, over single passes and over the long
// runs of passes that take hours on the camera.
#include "velnor/supervision.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A supplicant that answers each query from a script and counts them.
struct ScriptedQuery {
    int answers[2] = {0, 0};
    int calls = 0;
    int operator()() { return answers[calls < 2 ? calls++ : 1]; }
};

PassAction decide(int16_t link, uint32_t elapsed, bool off, ScriptedQuery &query)
{
    return decide_pass(link, elapsed, off, query);
}

TEST(SupervisionPass, SwitchOffEndsThePassWithoutQuery)
{
    for (int16_t link : {LINK_NONE, LINK_AP, LINK_STA_CONNECTING, LINK_SETTLED}) {
        ScriptedQuery query;
        EXPECT_EQ(decide(link, 10, true, query), PassAction::SwitchOff);
        EXPECT_EQ(decide(link, 2000, true, query), PassAction::SwitchOff);  // no restart either
        EXPECT_EQ(query.calls, 0);
    }
}

TEST(SupervisionPass, SettledLinksAreNotWatched)
{
    for (int16_t link : {LINK_NONE, LINK_AP, LINK_SETTLED}) {
        ScriptedQuery query;
        EXPECT_EQ(decide(link, 10, false, query), PassAction::Idle);
        EXPECT_EQ(decide(link, 1000, false, query), PassAction::Idle);
        EXPECT_EQ(decide(link, 1002, false, query), PassAction::RestartCounter);
        EXPECT_EQ(query.calls, 0);
    }
}

TEST(SupervisionPass, AssociationOnFirstQuery)
{
    ScriptedQuery query;
    query.answers[0] = 1;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 10, false, query), PassAction::Associated);
    EXPECT_EQ(query.calls, 1);
}

TEST(SupervisionPass, NotAssociatedBetweenGiveUpPoints)
{
    for (uint32_t elapsed : {2u, 4u, 6u, 8u, 12u, 898u}) {
        ScriptedQuery query;
        EXPECT_EQ(decide(LINK_STA_CONNECTING, elapsed, false, query), PassAction::KeepWaiting);
        EXPECT_EQ(query.calls, 1) << elapsed;
    }
}

TEST(SupervisionPass, GiveUpPointQueriesTwice)
{
    ScriptedQuery never;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 10, false, never), PassAction::GiveUpStation);
    EXPECT_EQ(never.calls, 2);

    ScriptedQuery late;
    late.answers[1] = 1;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 900, false, late), PassAction::AssociatedOnRecheck);
    EXPECT_EQ(late.calls, 2);
}

TEST(SupervisionPass, FailedQueryCountsAsNotAssociated)
{
    ScriptedQuery broken;
    broken.answers[0] = -1;
    broken.answers[1] = -1;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 4, false, broken), PassAction::KeepWaiting);
    ScriptedQuery broken_again = broken;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 20, false, broken_again), PassAction::GiveUpStation);
}

TEST(SupervisionPass, QuietWindowAndRestart)
{
    for (uint32_t elapsed = 902; elapsed <= 1000; elapsed += 2) {
        ScriptedQuery query;
        EXPECT_EQ(decide(LINK_STA_CONNECTING, elapsed, false, query), PassAction::Idle) << elapsed;
        EXPECT_EQ(query.calls, 0);
    }
    ScriptedQuery query;
    EXPECT_EQ(decide(LINK_STA_CONNECTING, 1002, false, query), PassAction::RestartCounter);
    EXPECT_EQ(query.calls, 0);
}

// The loop's counter and link state over many passes, for a station that
// never associates.
struct LoopRun {
    uint32_t elapsed = 0;
    int16_t link = LINK_NONE;
    long queries = 0;

    PassAction pass()
    {
        elapsed += 2;
        int calls = 0;
        PassAction action = decide_pass(link, elapsed, false, [&calls] {
            ++calls;
            return 0;
        });
        queries += calls;
        if (action == PassAction::RestartCounter) {
            elapsed = 0;
        }
        if (action == PassAction::GiveUpStation) {
            link = LINK_SETTLED;
        }
        return action;
    }
};

TEST(SupervisionLoop, StationChosenAtStartUpIsGivenUpOnFifthPass)
{
    LoopRun run;
    run.link = LINK_STA_CONNECTING;
    for (int pass = 1; pass <= 4; ++pass) {
        EXPECT_EQ(run.pass(), PassAction::KeepWaiting) << pass;
    }
    EXPECT_EQ(run.pass(), PassAction::GiveUpStation);
    EXPECT_EQ(run.queries, 4 + 2);
    for (int pass = 0; pass < 3000; ++pass) {
        run.pass();
    }
    EXPECT_EQ(run.queries, 6);  // no second attempt at the station
}

TEST(SupervisionLoop, CounterCyclesAndNeverPassesTheLimitByMuch)
{
    LoopRun run;
    run.link = LINK_AP;
    int restarts = 0;
    for (int pass = 0; pass < 100000; ++pass) {
        if (run.pass() == PassAction::RestartCounter) {
            ++restarts;
            EXPECT_EQ(run.elapsed, 0u);
        }
        EXPECT_LE(run.elapsed, counter_limit + 2);
    }
    // 501 passes per cycle: 2, 4, ... 1002.
    EXPECT_EQ(restarts, 100000 / 501);
}

TEST(SupervisionLoop, LateStationIsGivenUpWithinFivePassesOutsideTheQuietWindow)
{
    // A station started on any pass (switch turned on) whose counter is
    // not in the quiet window is queried in that pass and given up within
    // five passes; inside the window it waits for the restart first.
    // While the switch is off the counter keeps growing, so a station can
    // also be started with the counter well past the limit.
    for (uint32_t start = 0; start <= 1200; start += 2) {
        LoopRun run;
        run.elapsed = start;
        run.link = LINK_STA_CONNECTING;
        int passes = 0;
        while (run.link == LINK_STA_CONNECTING && passes < 1000) {
            run.pass();
            ++passes;
        }
        ASSERT_EQ(run.link, LINK_SETTLED) << start;
        uint32_t first = start + 2;
        if (first <= quiet_from) {
            EXPECT_LE(passes, 5) << start;
        } else {
            // Waits out the quiet window up to the restart, then five passes.
            int until_restart = start >= counter_limit ? 1 : static_cast<int>((counter_limit - start) / 2) + 1;
            EXPECT_EQ(passes, until_restart + 5) << start;
        }
    }
}

}  // namespace
