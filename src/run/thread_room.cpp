#include "run/thread_room.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "run/error.h"

namespace {

// What a malloc arena reserves on a 64-bit system: twice the largest mmap
// threshold (HEAP_MAX_SIZE).
constexpr unsigned long long kArenaBytes = 64ULL << 20;

unsigned long long limit_bytes() {
  unsigned long long least = RLIM_INFINITY;
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      least = std::min<unsigned long long>(least, limit.rlim_cur);
  }
  return least;
}

// The address space the process has now (/proc/self/statm, first field).
unsigned long long used_bytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  unsigned long long pages = 0;
  if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
  std::fclose(f);
  return pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

unsigned long long stack_bytes() {
  pthread_attr_t attr;
  std::size_t size = 8u << 20;
  if (pthread_getattr_default_np(&attr) == 0) {
    pthread_attr_getstacksize(&attr, &size);
    pthread_attr_destroy(&attr);
  }
  return size;
}

}  // namespace

int threads_within_memory_limit(int wanted) {
  if (wanted <= 1) return wanted;
  const unsigned long long limit = limit_bytes();
  if (limit == RLIM_INFINITY) return wanted;
  const unsigned long long used = used_bytes();
  const unsigned long long room = limit > used ? (limit - used) / 2 : 0;
  const unsigned long long each = stack_bytes() + kArenaBytes;
  const unsigned long long extra = room / each;
  if (extra + 1 >= static_cast<unsigned long long>(wanted)) return wanted;
  const int threads = static_cast<int>(extra) + 1;
  warning("-threads %d: the memory limit of this process (%llu MiB of address space, %llu MiB in use) "
          "leaves room for %d thread%s, each reserving about %llu MiB; searching with %d",
          wanted, limit >> 20, used >> 20, threads, threads == 1 ? "" : "s", each >> 20, threads);
  return threads;
}
