#pragma once

#include <memory>

namespace omvar::sim {

// CPU time of one thread, readable from any thread (also after the thread has ended on
// Windows). Bound to the calling thread by capture().
class ThreadCpuClock {
public:
    ThreadCpuClock();
    ~ThreadCpuClock();
    ThreadCpuClock(const ThreadCpuClock&) = delete;
    ThreadCpuClock& operator=(const ThreadCpuClock&) = delete;

    void capture();
    // Seconds of CPU time (user and kernel); negative when unknown or the thread has gone.
    double seconds() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace omvar::sim
