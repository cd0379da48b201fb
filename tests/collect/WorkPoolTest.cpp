// The file work threads: a caller that waits for a batch of ended tasks is
// woken by the batch, or by the last task it posted when fewer are running,
// never left to its timeout.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <memory>

#include "collect/WorkPool.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far longer than any task here takes: a wait that lasts this long was not
// woken.
const unsigned kNeverMs = 60000;

struct Gated
{
    std::promise<void> open;
    std::shared_future<void> gate = open.get_future().share();
    std::atomic<int> nEnded{0};
};

} // namespace

TEST(WorkPool, AWaitForABatchEndsWithTheBatchOrWithTheLastTaskPosted)
{
    struct Case
    {
        const char* label;
        int nPosted;
        unsigned nBatch;
        int nAtLeastEnded;
    };
    const Case cases[] = {
        {"fewer running than the batch: the last one wakes", 3, 16, 3},
        {"a batch of one", 5, 1, 1},
        {"a batch of two among six", 6, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto pStop = std::make_shared<std::atomic<bool>>(false);
        auto gated = std::make_shared<Gated>();
        CWorkPool pool(2, pStop);
        for (int i = 0; i < c.nPosted; ++i)
            pool.Post([gated] {
                gated->gate.wait();
                ++gated->nEnded;
            });
        std::thread opener([gated] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gated->open.set_value();
        });
        const Clock::time_point start = Clock::now();
        pool.WaitForDone(kNeverMs, c.nBatch);
        const auto waited = Clock::now() - start;
        EXPECT_GE(gated->nEnded.load(), c.nAtLeastEnded);
        EXPECT_LT(waited, std::chrono::milliseconds(kNeverMs / 2)) << "woken by the tasks, not the timeout";
        opener.join();
    }
}
