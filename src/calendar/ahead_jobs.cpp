#include "calendar/ahead_jobs.h"

#include <QThread>

namespace rv {

bool AheadJobs::Job::claim() {
    const std::lock_guard lock(mutex_);
    if (state_ != State::Waiting)
        return false;
    state_ = State::Running;
    return true;
}

void AheadJobs::Job::run() {
    work_();
    work_ = nullptr;
    {
        const std::lock_guard lock(mutex_);
        state_ = State::Done;
    }
    done_.notify_all();
}

AheadJobs::AheadJobs(int threads) {
    pool_.setMaxThreadCount(threads > 0 ? threads : std::max(1, QThread::idealThreadCount()));
}

AheadJobs::~AheadJobs() {
    dropWaiting();
    pool_.waitForDone();
}

std::shared_ptr<AheadJobs::Job> AheadJobs::start(std::function<void()> work) {
    auto job = std::make_shared<Job>(std::move(work));
    pool_.start([job] {
        if (job->claim())
            job->run();
    });
    return job;
}

void AheadJobs::finish(Job& job) {
    if (job.claim()) {
        job.run();
        return;
    }
    std::unique_lock lock(job.mutex_);
    job.done_.wait(lock, [&] { return job.state_ == Job::State::Done; });
}

void AheadJobs::dropWaiting() {
    // Jobs still queued stay claimable by finish(); the pool merely forgets them.
    pool_.clear();
}

} // namespace rv
