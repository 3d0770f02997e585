#include "events/ReportQueue.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

struct Entry {
    ReportJob job;
    std::function<void()> dropped;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> jobs;
    bool busy = false;  // the worker runs a job
    bool workerStarted = false;
    std::atomic<bool> stopped{false};
};

// Never destroyed: the worker may still be inside a job when the process ends.
Queue& TheQueue() {
    static Queue* queue = new Queue;
    return *queue;
}

void Serve(Queue& queue) {
    std::unique_lock<std::mutex> lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [&] { return !queue.jobs.empty() || queue.stopped; });
        if (queue.stopped)
            return;
        ReportJob job = std::move(queue.jobs.front().job);
        queue.jobs.pop_front();
        queue.busy = true;
        lock.unlock();
        try {
            job(queue.stopped);
        } catch (...) {
            // A job reports its own failures; nothing may end the worker.
        }
        job = nullptr;  // what the job holds goes before the queue counts as idle
        lock.lock();
        queue.busy = false;
        queue.changed.notify_all();
    }
}

}  // namespace

void PostReport(ReportJob job, const std::function<void()>& dropped) {
    Queue& queue = TheQueue();
    try {
        std::lock_guard<std::mutex> lock(queue.mutex);
        if (queue.stopped)
            throw std::runtime_error("the queue was flushed");
        if (!queue.workerStarted) {
            std::thread([&queue] { Serve(queue); }).detach();
            queue.workerStarted = true;
        }
        queue.jobs.push_back(Entry{std::move(job), dropped});
        queue.changed.notify_all();
    } catch (...) {
        if (dropped)
            dropped();
    }
}

bool FlushReports(std::chrono::milliseconds deadline) {
    Queue& queue = TheQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    const bool done =
        queue.changed.wait_for(lock, deadline, [&] { return queue.jobs.empty() && !queue.busy; });
    queue.stopped = true;
    std::deque<Entry> givenUp;
    givenUp.swap(queue.jobs);
    queue.changed.notify_all();
    lock.unlock();
    for (auto& entry : givenUp)
        if (entry.dropped)
            entry.dropped();
    return done;
}
