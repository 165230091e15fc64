// The picture pool: workers, the jobs in walk order, the bound in flight.
#include "album/picture_pool.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "album/memory_budget.h"

namespace {

// A planned job and its progress. The walk thread fills in the job and reads
// its result only after done is set under the pool's lock.
struct Entry {
  PoolJob job;
  bool started = false;
  bool done = false;
};

void run(PoolJob& job) {
  const MemoryLease lease(job.memory);
  job.result = derivedMake(job.path.c_str(), job.format, job.medium, job.names, job.large, job.microComment);
}

class PicturePool {
 public:
  // The walk takes pictures back in its order, so one slow picture (a large
  // progressive JPEG costs ten ordinary photos) holds it; the other threads
  // go on with those behind it as long as the window lasts. A finished job
  // holds only its names and messages, and what a picture holds while it is
  // made stays within the memory budget, so a wide window costs no memory.
  explicit PicturePool(int threads) : limit_(8 * static_cast<size_t>(threads)) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
  }

  // Finishes the jobs running and drops those not started.
  ~PicturePool() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  PicturePool(const PicturePool&) = delete;
  PicturePool& operator=(const PicturePool&) = delete;

  void plan(PoolJob job) {
    planned_.push_back(std::make_shared<Entry>(Entry{std::move(job)}));
    topUp();
  }

  std::optional<PoolJob> take(const char* path) {
    if (planned_.empty() || planned_.front()->job.path != path) return std::nullopt;
    std::shared_ptr<Entry> entry = std::move(planned_.front());
    planned_.pop_front();
    --submitted_;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!entry->started) {
        // Not begun yet: cheaper to make it here than to wait behind others.
        std::erase(queue_, entry);
        lock.unlock();
        run(entry->job);
      } else {
        finished_.wait(lock, [&] { return entry->done; });
      }
    }
    topUp();
    return std::move(entry->job);
  }

  void dropPlanned() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (const std::shared_ptr<Entry>& entry : planned_) {
      if (!entry->started)
        std::erase(queue_, entry);
      else
        finished_.wait(lock, [&] { return entry->done; });
    }
    lock.unlock();
    planned_.clear();
    submitted_ = 0;
  }

 private:
  void topUp() {
    while (submitted_ < planned_.size() && submitted_ < limit_) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(planned_[submitted_]);
      }
      ++submitted_;
      wake_.notify_one();
    }
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      // The largest first: the last pictures of a run then end together
      // rather than one thread finishing a large one alone.
      auto largest = std::max_element(queue_.begin(), queue_.end(), [](const auto& a, const auto& b) {
        return a->job.pixels < b->job.pixels;
      });
      std::shared_ptr<Entry> entry = std::move(*largest);
      queue_.erase(largest);
      entry->started = true;
      lock.unlock();
      run(entry->job);
      lock.lock();
      entry->done = true;
      finished_.notify_all();
    }
  }

  const size_t limit_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<Entry>> queue_;  // submitted, not started
  bool stopping_ = false;
  // Walk thread only: the planned jobs in walk order, the first submitted_
  // of them handed to the workers.
  std::deque<std::shared_ptr<Entry>> planned_;
  size_t submitted_ = 0;
};

// The pool, made with the first job planned. Walk thread only.
struct PoolState {
  int threads = 0;
  std::unique_ptr<PicturePool> pool;
};

PoolState& state() {
  // Never destroyed: picturePoolStop, run by exit(), must find it whole.
  static auto* s = new PoolState;
  return *s;
}

}  // namespace

void picturePoolSetThreads(int threads) { state().threads = threads > 1 ? threads : 0; }

bool picturePoolOn() { return state().threads > 0; }

void picturePoolPlan(PoolJob job) {
  PoolState& s = state();
  if (!s.pool) {
    s.pool = std::make_unique<PicturePool>(s.threads);
    // error() on the walk thread ends the process through exit(): the running
    // jobs finish first, and the temporaries registry (registered before
    // main, so run later) then removes whatever is left open.
    static const bool registered = atexit(picturePoolStop) == 0;
    (void)registered;
  }
  s.pool->plan(std::move(job));
}

std::optional<PoolJob> picturePoolTake(const char* path) {
  PoolState& s = state();
  return s.pool ? s.pool->take(path) : std::nullopt;
}

void picturePoolDropPlanned() {
  if (PicturePool* pool = state().pool.get()) pool->dropPlanned();
}

void picturePoolStop() {
  state().pool.reset();
  state().threads = 0;
}
