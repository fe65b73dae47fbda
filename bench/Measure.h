#pragma once

#include <vector>

// What the benchmark harnesses measure about their own process.
namespace Measure {

// CPU time (user + system, all threads) this process has used, in seconds.
double cpuSeconds();

// Resident memory of this process (VmRSS), in KiB; 0 when unreadable.
long residentKib();

// Monotonic clock, in milliseconds.
double nowMs();

// The value below which the given share (0 to 1) of the samples lies, by
// the nearest rank. The samples are sorted in place.
double percentile(std::vector<double>& samples, double share);

} // namespace Measure
