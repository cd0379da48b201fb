#include "collect/WorkPool.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {
// How often an idle thread looks at the stop request, which is set without a
// word to the pool.
const auto IDLE_LOOK = std::chrono::milliseconds(100);
}

CWorkPool::CWorkPool(int nThreads, std::shared_ptr<const std::atomic<bool>> pStop) : m_shared(new Shared)
{
    m_shared->pStop = std::move(pStop);
    // Without threads (the system refused them) the work is done where it
    // is posted, one by one: slower, the same outcomes.
    try {
        for (int i = 0; i < nThreads; ++i)
            m_threads.emplace_back(Serve, m_shared);
    } catch (const std::system_error&) {
    }
}

CWorkPool::~CWorkPool()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->bQuit = true;
    }
    m_shared->work.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void CWorkPool::Post(std::function<void()> task)
{
    if (m_threads.empty()) {
        task();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->tasks.push_back(std::move(task));
        ++m_shared->nPosted;
    }
    m_shared->work.notify_one();
}

void CWorkPool::WaitForDone(unsigned nTimeoutMs, unsigned nTasks)
{
    Shared& shared = *m_shared;
    std::unique_lock<std::mutex> lock(shared.lock);
    const unsigned nRunning = shared.nPosted - m_nEndedSeen;
    shared.nWakeAt = m_nEndedSeen + std::max(1u, std::min(nTasks, nRunning));
    // A stop wakes the caller too: the threads drop what they hold, and
    // the tasks it waits for will never end.
    shared.done.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                         [&] { return shared.nEnded >= shared.nWakeAt || *shared.pStop; });
    shared.nWakeAt = NO_WAITER;
    m_nEndedSeen = shared.nEnded;
}

bool CWorkPool::WaitUntil(const std::atomic<bool>& bDone, unsigned nTasks)
{
    while (!bDone) {
        if (*m_shared->pStop)
            return false;
        WaitForDone(100, nTasks);
    }
    return true;
}

void CWorkPool::Serve(std::shared_ptr<Shared> shared)
{
    std::unique_lock<std::mutex> lock(shared->lock);
    for (;;) {
        if (*shared->pStop) {
            shared->tasks.clear();
            shared->done.notify_all();
            return;
        }
        if (shared->tasks.empty()) {
            if (shared->bQuit)
                return;
            shared->work.wait_for(lock, IDLE_LOOK);
            continue;
        }
        std::function<void()> task = std::move(shared->tasks.front());
        shared->tasks.pop_front();
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        if (++shared->nEnded >= shared->nWakeAt)
            shared->done.notify_all();
    }
}
