#pragma once

// Work a backend does ahead of the questions a build will ask, on every core: jobs run on a pool
// of threads in the order they were started, and the build takes each one when it comes to it,
// waiting for it when a thread has it in hand and doing it itself when no thread has started it
// yet. So the build's own order is kept (its first person is read first), the cores read the
// people after it meanwhile, and the board shows its progress as before. A job shares nothing
// with the build until it is taken, and must not throw.

#include <QThreadPool>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace rv {

class AheadJobs {
public:
    class Job {
    public:
        explicit Job(std::function<void()> work) : work_(std::move(work)) {}

    private:
        friend class AheadJobs;
        enum class State { Waiting, Running, Done };
        // Claims the job for the calling thread; false when another has it.
        bool claim();
        void run();

        std::mutex mutex_;
        std::condition_variable done_;
        State state_ = State::Waiting;
        std::function<void()> work_;
    };

    // Threads: one per core by default.
    explicit AheadJobs(int threads = 0);
    // Jobs no thread has started are dropped; started ones are waited for.
    ~AheadJobs();
    AheadJobs(const AheadJobs&) = delete;
    AheadJobs& operator=(const AheadJobs&) = delete;

    std::shared_ptr<Job> start(std::function<void()> work);
    // Once this returns, the job's work is done: here, if no thread had started it.
    static void finish(Job& job);
    // Jobs no thread has started are left undone (finish still does them when asked).
    void dropWaiting();

private:
    QThreadPool pool_;
};

} // namespace rv
