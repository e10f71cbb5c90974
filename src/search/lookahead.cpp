#include "search/lookahead.h"

#include <system_error>

#include "run/error.h"

namespace {

// Expansions a thread may have computed ahead and not yet committed. While
// the search computes a large node itself, a worker goes on with the many
// small ones after it: with room for 3 a thread, the workers of the wildcard
// search on 10 M residues waited a third of the time. The positions budget
// keeps what they hold small.
constexpr int kRoomPerThread = 64;

}  // namespace

Lookahead::Lookahead(int workers, const std::function<std::unique_ptr<Expander>()>& make,
                     long long positions)
    : most_positions_in_flight_(positions) {
  most_in_flight_ = kRoomPerThread * (workers + 1);
  for (int i = 0; i < most_in_flight_; ++i) {
    result_store_.push_back(std::make_unique<Expansion>());
    free_results_.push_back(result_store_.back().get());
  }
  for (int w = 0; w < workers; ++w) expanders_.push_back(make());
  threads_.reserve(static_cast<std::size_t>(workers));  // no allocation once threads run
  for (int w = 0; w < workers; ++w) {
    Expander* expander = expanders_[static_cast<std::size_t>(w)].get();
    try {
      threads_.emplace_back([this, expander] { work(*expander); });
    } catch (const std::system_error&) {
      // No room for another thread (an address-space limit, say): the
      // search goes on with those it has, itself at least.
      break;
    }
  }
}

Lookahead::~Lookahead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void Lookahead::offer(const STree_Node* node, float priority, int positions) {
  if (threads_.empty()) return;  // none could be started: the search computes everything
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Job* job;
    if (!free_jobs_.empty()) {
      job = free_jobs_.back();
      free_jobs_.pop_back();
    } else {
      job_store_.push_back(std::make_unique<Job>());
      job = job_store_.back().get();
    }
    *job = Job{node, positions, State::Offered, true, nullptr};
    jobs_[node] = job;
    offered_.push(Entry{priority, next_order_++, job});
    wake = idle_workers_ > 0 && in_flight_ < most_in_flight_;
  }
  // A wake-up is a system call: only for a worker that waits.
  if (wake) work_ready_.notify_one();
}

Lookahead::Job* Lookahead::next_job() {
  while (!offered_.empty() && in_flight_ < most_in_flight_) {
    Job* job = offered_.top().job;
    // In the search's order: a large node waits for room rather than be passed.
    if (job->state == State::Offered && in_flight_ > 0 &&
        positions_in_flight_ + job->positions > most_positions_in_flight_)
      return nullptr;
    offered_.pop();
    job->in_heap = false;
    if (job->state != State::Offered) {
      // The search reached it first and computed it itself.
      recycle(job);
      continue;
    }
    job->state = State::Working;
    job->result = free_results_.back();
    free_results_.pop_back();
    ++in_flight_;
    positions_in_flight_ += job->positions;
    return job;
  }
  return nullptr;
}

void Lookahead::recycle(Job* job) {
  if (job->in_heap) return;  // freed when the heap lets it go
  job->node = nullptr;
  free_jobs_.push_back(job);
}

void Lookahead::compute(Expander& expander, Job* job, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  bool failed = false;
  try {
    FaultsDeferred deferred;
    expander.expand(job->node, *job->result);
  } catch (...) {
    job->result->clear();
    expander.recover();
    failed = true;
  }
  lock.lock();
  job->state = failed ? State::Failed : State::Done;
  if (search_waits_) job_done_.notify_all();
}

void Lookahead::work(Expander& expander) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    Job* job = next_job();
    if (job == nullptr) {
      ++idle_workers_;
      work_ready_.wait(lock);
      --idle_workers_;
      continue;
    }
    compute(expander, job, lock);
  }
}

Expansion& Lookahead::expansion_of(const STree_Node* node, Expander& own, Expansion& scratch) {
  std::unique_lock<std::mutex> lock(mutex_);
  returned_ = nullptr;
  auto found = jobs_.find(node);
  Job* job = found == jobs_.end() ? nullptr : found->second;
  if (job != nullptr) jobs_.erase(found);
  if (job == nullptr || job->state == State::Offered) {
    // No worker has started on it, and none will now.
    if (job != nullptr) {
      job->state = State::Taken;
      recycle(job);
    }
    lock.unlock();
    own.expand(node, scratch);
    return scratch;
  }
  while (job->state == State::Working) {
    Job* other = next_job();
    if (other == nullptr) {
      search_waits_ = true;
      job_done_.wait(lock);
      search_waits_ = false;
      continue;
    }
    compute(own, other, lock);
  }
  if (job->state == State::Failed) {
    // Computed here again, where a fault ends the run as with one thread.
    job->state = State::Taken;
    returned_ = job;
    lock.unlock();
    own.expand(node, *job->result);
    return *job->result;
  }
  job->state = State::Taken;
  returned_ = job;
  return *job->result;
}

void Lookahead::committed(Expansion& expansion) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (returned_ == nullptr || returned_->result != &expansion) return;
    expansion.clear();
    free_results_.push_back(&expansion);
    returned_->result = nullptr;
    --in_flight_;
    positions_in_flight_ -= returned_->positions;
    recycle(returned_);
    returned_ = nullptr;
    wake = idle_workers_ > 0 && !offered_.empty();
  }
  if (wake) work_ready_.notify_one();
}
