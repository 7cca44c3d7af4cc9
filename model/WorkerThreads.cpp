// Starting, naming and joining the model's worker threads.
#include "WorkerThreads.h"

#include <pthread.h>

WorkerThreads::Id WorkerThreads::start(const char* name, std::function<void(Id)> job)
{
    const Id id = m_nextId++;
    m_threads[id] = std::thread([name, job = std::move(job), id] {
        // Named so a profile (and the window benchmark) can tell the
        // conversion workers from the window's own threads.
        ::pthread_setname_np(::pthread_self(), name);
        job(id);
    });
    return id;
}

void WorkerThreads::join(Id id)
{
    const auto found = m_threads.find(id);
    if (found == m_threads.end())
        return;
    found->second.join();
    m_threads.erase(found);
}

void WorkerThreads::joinAll()
{
    for (auto& [id, thread] : m_threads)
        thread.join();
    m_threads.clear();
}
