#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A few threads that take file work off a job's worker, so that the system
// always has a request of ours to serve while the worker walks, decides and
// reports. Tasks must own what they use: after a stop, or when the worker
// was left behind, a thread may still finish the task it holds.
//
// The worker posts tasks and learns of their end through the done signal;
// what a task found goes back through memory the task and the worker share.
class CWorkPool
{
public:
    // The threads leave, dropping tasks not yet begun, once *pStop is set.
    CWorkPool(int nThreads, std::shared_ptr<const std::atomic<bool>> pStop);
    // Waits for the tasks posted to end (or to be dropped after a stop).
    ~CWorkPool();
    CWorkPool(const CWorkPool&) = delete;
    CWorkPool& operator=(const CWorkPool&) = delete;

    // Runs the task on one of the threads, or here when there are none.
    void Post(std::function<void()> task);
    // Waits until nTasks tasks have ended since the last call (fewer when
    // fewer are running), or a stop, at most nTimeoutMs. Waking a thread costs a round trip
    // through the system (under Wine, through its one server process); a
    // caller that can take ended tasks in batches wakes once per batch.
    void WaitForDone(unsigned nTimeoutMs, unsigned nTasks = 1);
    // Waits until a task has set bDone, waking per nTasks ended tasks; false
    // once stopped first.
    bool WaitUntil(const std::atomic<bool>& bDone, unsigned nTasks = 1);

private:
    // Lives as long as the last thread that uses it.
    enum : unsigned { NO_WAITER = ~0u };
    struct Shared
    {
        std::mutex lock;
        std::condition_variable work;
        std::condition_variable done;
        std::deque<std::function<void()>> tasks;
        bool bQuit = false;
        unsigned nPosted = 0;
        unsigned nEnded = 0;
        // The count of ended tasks the waiting caller wakes at; none waits
        // while it is NO_WAITER.
        unsigned nWakeAt = NO_WAITER;
        std::shared_ptr<const std::atomic<bool>> pStop;
    };
    static void Serve(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::vector<std::thread> m_threads;
    unsigned m_nEndedSeen = 0;
};

// Steps of a job reported in the order they were made: each once its work
// has ended, and the oldest at the latest once more than nAhead wait, so
// that the work never runs far ahead of what the user sees. A step tells
// whether its work has ended (IsReady); a report returns false when the job
// was stopped, and the steps left are then dropped.
template <class Step>
class CInOrderReports
{
public:
    explicit CInOrderReports(size_t nAhead) : m_nAhead(nAhead) {}

    // Adds a step, then reports what is ready at the head; false once a
    // report said stop.
    template <class Report>
    bool Add(Step step, Report report)
    {
        m_steps.push_back(std::move(step));
        while (!m_steps.empty() && (m_steps.size() > m_nAhead || m_steps.front().IsReady())) {
            if (!report(m_steps.front()))
                return false;
            m_steps.pop_front();
        }
        return true;
    }
    // Reports the oldest step, waiting as its report does; false once a
    // report said stop. Nothing to report is no stop.
    template <class Report>
    bool ReportNext(Report report)
    {
        if (m_steps.empty())
            return true;
        if (!report(m_steps.front()))
            return false;
        m_steps.pop_front();
        return true;
    }
    bool IsEmpty() const { return m_steps.empty(); }
    // Reports every step left, waiting as each report does; false once a
    // report said stop.
    template <class Report>
    bool ReportAll(Report report)
    {
        while (!m_steps.empty()) {
            if (!report(m_steps.front()))
                return false;
            m_steps.pop_front();
        }
        return true;
    }

private:
    const size_t m_nAhead;
    std::deque<Step> m_steps;
};
