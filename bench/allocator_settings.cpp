// glibc's allocator gives memory freed at the top of the heap back to the system and maps large
// blocks afresh, with thresholds that it raises for good the first time a large mapped block is
// freed. Left alone, a side's time would depend on which sides ran before it: until then every
// read or write touches fresh pages, and each first touch is a page fault, which costs a lot on a
// virtual machine. The suite fixes both thresholds before anything runs, so that every side
// reuses freed memory alike, as a long-running program does once its thresholds have risen.
#if __has_include(<malloc.h>)
#include <malloc.h>

namespace {
[[maybe_unused]] const bool thresholds_fixed = [] {
#ifdef M_MMAP_THRESHOLD
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc accepts
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    return true;
}();
}  // namespace
#endif
