#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace jobs {

using Clock = std::chrono::steady_clock;

struct Job {
    std::function<void()> work;
    Clock::time_point due;
};

class Scheduler {
public:
    void at(Clock::time_point when, std::function<void()> work);
    void after(std::chrono::milliseconds delay, std::function<void()> work);
    int run_due(Clock::time_point now);
    void stop() noexcept { stopped_ = true; }
    bool stopped() const noexcept { return stopped_; }

private:
    std::mutex mutex_;
    std::vector<Job> jobs_;
    std::atomic<bool> stopped_{false};
};

void Scheduler::at(Clock::time_point when, std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(Job{std::move(work), when});
}

void Scheduler::after(std::chrono::milliseconds delay, std::function<void()> work)
{
    at(Clock::now() + delay, std::move(work));
}

int Scheduler::run_due(Clock::time_point now)
{
    std::vector<Job> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = jobs_.begin(); it != jobs_.end();) {
            if (it->due <= now) {
                due.push_back(std::move(*it));
                it = jobs_.erase(it);
            } else
                ++it;
        }
    }
    for (auto &job : due)
        job.work();
    return static_cast<int>(due.size());
}

void run_in_background(Scheduler &s, int rounds)
{
    std::thread worker([&s, rounds] {
        for (int i = 0; i < rounds && !s.stopped(); ++i) {
            s.run_due(Clock::now());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    worker.join();
}

} // namespace jobs

std::atomic<int> jobs_run{0};
