#pragma once
// The process's peak resident memory, for the programs that measure it in a process of their own.

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace sylvane_bench {

/// The process's peak resident set so far, from /proc/self/status, in KiB.
inline long peak_rss_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    throw std::runtime_error("no VmHWM in /proc/self/status");
}

}  // namespace sylvane_bench
