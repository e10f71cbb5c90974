#pragma once
// Expansions computed ahead by worker threads. The search offers each node it
// queues (and will expand) with its queue priority; workers take the offered
// nodes the search will reach first and compute their expansions, each with
// an expander of its own. The search still takes nodes in its own order and
// commits each expansion itself (trie, registry, queue, report): when it
// reaches a node, the expansion is taken as a worker left it, or computed
// there, so what it commits does not depend on who computed it or when.
//
// A node's set is only read while its expansion is computed; the search
// releases or moves it only after committing that expansion, and a worker
// starts on a node only while the search has not reached it.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <unordered_map>
#include <vector>

#include "search/expander.h"

class Lookahead {
 public:
  // `workers` threads besides the search's own, each with the expander
  // `make` gives it. Expansions computed ahead and not yet committed hold
  // their children's sets: together they may have come from at most
  // `positions` positions (and always one, however large).
  Lookahead(int workers, const std::function<std::unique_ptr<Expander>()>& make, long long positions);
  Lookahead(const Lookahead&) = delete;
  Lookahead& operator=(const Lookahead&) = delete;
  ~Lookahead();

  // A node just queued with this priority (smaller first; equal ones in the
  // order offered), whose expansion the search will want; `positions` is its
  // set's size.
  void offer(const STree_Node* node, float priority, int positions);
  // The expansion of `node`, which the search has reached: a worker's, or
  // computed with `own` into `scratch`. While a worker still computes it, the
  // search computes the next offered nodes' instead of waiting idle.
  Expansion& expansion_of(const STree_Node* node, Expander& own, Expansion& scratch);
  // The expansion returned last has been committed; its room is reused.
  void committed(Expansion& expansion);

 private:
  // Failed: the worker met a fault (out of memory, say); the search computes
  // the node itself and meets it there.
  enum class State : std::uint8_t { Offered, Working, Done, Failed, Taken };
  struct Job {
    const STree_Node* node = nullptr;
    int positions = 0;
    State state = State::Offered;
    bool in_heap = false;
    Expansion* result = nullptr;
  };
  struct Entry {
    float priority;
    std::uint64_t order;
    Job* job;
    bool operator>(const Entry& o) const {
      return priority != o.priority ? priority > o.priority : order > o.order;
    }
  };

  void work(Expander& expander);
  // With the lock held: the next offered job to compute (marked Working, its
  // result room attached), or null when none may start now.
  Job* next_job();
  // Computes a job's expansion with the lock released; a fault marks it
  // Failed instead of ending the process.
  void compute(Expander& expander, Job* job, std::unique_lock<std::mutex>& lock);
  void recycle(Job* job);

  std::mutex mutex_;
  std::condition_variable work_ready_;  // a job offered, room freed, or stop
  std::condition_variable job_done_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> offered_;
  std::unordered_map<const STree_Node*, Job*> jobs_;
  std::uint64_t next_order_ = 0;
  // Expansions computed or being computed and not yet committed, and the
  // positions of their nodes: each holds its children's sets.
  int in_flight_ = 0;
  int most_in_flight_ = 0;
  long long positions_in_flight_ = 0;
  long long most_positions_in_flight_ = 0;
  std::vector<std::unique_ptr<Job>> job_store_;
  std::vector<Job*> free_jobs_;
  std::vector<std::unique_ptr<Expansion>> result_store_;
  std::vector<Expansion*> free_results_;
  bool stop_ = false;
  std::vector<std::unique_ptr<Expander>> expanders_;
  std::vector<std::thread> threads_;
  int idle_workers_ = 0;    // waiting for work_ready_
  bool search_waits_ = false;  // the search waits for job_done_
  Job* returned_ = nullptr;  // the job whose expansion expansion_of gave last
};
