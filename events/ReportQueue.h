// The process's one queue of event reports, served in order by one worker thread.
#pragma once
#include <atomic>
#include <chrono>
#include <functional>

// A report: sends itself, and does not start another attempt once `stopped` is set.
using ReportJob = std::function<void(const std::atomic<bool>& stopped)>;

// Queues the job behind every earlier one; the worker starts with the first job. Never throws: a job
// that cannot be queued is dropped (the caller's `dropped` runs at once).
void PostReport(ReportJob job, const std::function<void()>& dropped);

// Every way out of the program ends here: waits until the queue is empty or the deadline has passed,
// whichever comes first. From then on no job and no attempt starts; what was not sent is given up.
// True when every report went out (or was given up by its own rule) in time.
bool FlushReports(std::chrono::milliseconds deadline);
