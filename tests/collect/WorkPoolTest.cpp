// The file work threads: a caller that waits for a batch of ended tasks is
// woken by the batch, or by the last task it posted when fewer are running,
// never left to its timeout.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

// The pass reports its rows in row order, each once its work has ended, and
// the oldest at the latest once more than the window wait; a report that says
// stop drops the rest unreported. Scripts: "+3" adds step 3 (not ready),
// "+3r" adds it ready, "r3" makes it ready, "n" reports the next, "a" all.
TEST(InOrderReports, ReportsInOrderWithinTheWindowAndDropsTheRestOnAStop)
{
    struct Case
    {
        const char* label;
        size_t nAhead;
        std::vector<std::string> script;
        int nStopAt;   // the step whose report says stop, or -1
        std::vector<int> reported;
        bool lastResult;
    };
    const Case cases[] = {
        {"ready steps go at once, in order", 3, {"+0r", "+1r", "+2r"}, -1, {0, 1, 2}, true},
        {"a step not ready holds the ready ones after it", 3, {"+0", "+1r", "+2r"}, -1, {}, true},
        {"once it is ready, it and the ready ones after it go", 3, {"+0", "+1r", "+2", "r0", "+3"}, -1, {0, 1}, true},
        {"more than the window waiting: the oldest goes though not ready", 2, {"+0", "+1", "+2"}, -1, {0}, true},
        {"the next alone", 4, {"+0", "+1", "n"}, -1, {0}, true},
        {"nothing left: the next is no stop", 4, {"n"}, -1, {}, true},
        {"all, ready or not", 4, {"+0", "+1", "+2r", "a"}, -1, {0, 1, 2}, true},
        {"a stop drops the rest", 4, {"+0", "+1", "+2", "a"}, 1, {0}, false},
        {"a stop while adding", 1, {"+0", "+1", "+2"}, 0, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        struct Step
        {
            int id;
            std::shared_ptr<bool> ready;
            bool IsReady() const { return *ready; }
        };
        CInOrderReports<Step> reports(c.nAhead);
        std::map<int, std::shared_ptr<bool>> ready;
        std::vector<int> reported;
        bool bStopped = false;
        auto report = [&](Step& s) {
            if (s.id == c.nStopAt) {
                bStopped = true;
                return false;
            }
            EXPECT_FALSE(bStopped) << "a step reported after a stop";
            reported.push_back(s.id);
            return true;
        };
        bool result = true;
        for (const std::string& op : c.script) {
            if (op[0] == '+') {
                const int id = op[1] - '0';
                ready[id] = std::make_shared<bool>(op.size() > 2);
                result = reports.Add(Step{id, ready[id]}, report);
            } else if (op[0] == 'r') {
                *ready[op[1] - '0'] = true;
            } else if (op[0] == 'n') {
                result = reports.ReportNext(report);
            } else {
                result = reports.ReportAll(report);
            }
        }
        EXPECT_EQ(c.reported, reported);
        EXPECT_EQ(c.lastResult, result);
    }
}
