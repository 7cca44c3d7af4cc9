// Threads that each run one blocking job for the model and post its outcome
// back. Every thread is joined: when its outcome arrives, or at the latest
// when this object is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <thread>

class WorkerThreads
{
public:
    using Id = std::uint64_t;

    WorkerThreads() = default;
    ~WorkerThreads() { joinAll(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs `job` with its own id on a new thread named `name` (at most 15
    // characters, shown by ps and top), and returns that id.
    Id start(const char* name, std::function<void(Id)> job);
    // Waits for the thread to end; its job has posted its last report.
    void join(Id id);
    void joinAll();
    bool isEmpty() const { return m_threads.empty(); }

private:
    std::map<Id, std::thread> m_threads;
    Id m_nextId = 1;
};
