#pragma once
// How many search threads an address-space limit leaves room for.

// Each thread reserves a stack and may be given a malloc arena of its own
// (reserved whole, tens of megabytes, before much of it is used). Under a
// limit on address space or data (ulimit -v, ulimit -d, a batch system's
// memory cap), threads past what the limit holds would fail a run that one
// thread completes: the limit's room, less what the run already uses, goes
// at most half to the threads beyond the first. Returns `wanted` without a
// limit; otherwise the threads that fit (at least 1), with a warning when
// that is fewer.
int threads_within_memory_limit(int wanted);
