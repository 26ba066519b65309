// The driver of `bench/ab`: loads the plugins of two revisions of the library side by side and
// times them on one text in alternating rounds, so that whatever else the machine runs slows
// both alike. Prints the median, over the rounds, of B's time divided by A's, its quartiles, and
// each side's median time per byte.
//
//     ab_compare A.so B.so FILE MODE REPS ROUNDS
//
// MODE: 0 read, 1 read with positions, 2 write, 3 read_as into the text's model, 4 write of
// that value.

#include <dlfcn.h>
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using timer = double (*)(const char*, std::size_t, int, int) noexcept;

timer load(const char* path) {
    // Each plugin keeps its own symbols, so the two revisions' same-named functions stay apart.
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    void* f = plugin != nullptr ? dlsym(plugin, "sylvane_ab_time") : nullptr;
    if (f == nullptr) {
        std::fprintf(stderr, "ab_compare: %s\n", dlerror());
        std::exit(2);
    }
    // POSIX makes a symbol's address usable as the function's.
    timer t;
    static_assert(sizeof t == sizeof f);
    std::memcpy(&t, &f, sizeof t);
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: ab_compare A.so B.so FILE MODE REPS ROUNDS\n");
        return 2;
    }
#if __has_include(<malloc.h>)
    // As in the suite: freed memory is reused, not returned and faulted in again.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    const timer a = load(argv[1]);
    const timer b = load(argv[2]);
    std::ifstream in(argv[3], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int mode = std::atoi(argv[4]);
    const int reps = std::max(1, std::atoi(argv[5]));
    const int rounds = std::max(1, std::atoi(argv[6]));
    const auto run = [&](timer t) { return t(text.data(), text.size(), reps, mode); };
    if (!in || run(a) < 0 || run(b) < 0) {  // also warms both sides' buffers
        std::fprintf(stderr, "ab_compare: cannot read %s as JSON%s\n", argv[3],
                     mode >= 3 ? " into a model" : "");
        return 2;
    }
    std::vector<double> ta, tb, ratio;
    for (int r = 0; r < rounds; ++r) {
        // Each side goes first in every other round.
        const double first = run(r % 2 == 0 ? a : b);
        const double second = run(r % 2 == 0 ? b : a);
        ta.push_back(r % 2 == 0 ? first : second);
        tb.push_back(r % 2 == 0 ? second : first);
        ratio.push_back(tb.back() / ta.back());
    }
    std::sort(ratio.begin(), ratio.end());  // once, for the median and the quartiles
    std::printf("B/A %.3f (quartiles %.3f..%.3f over %d rounds)  A %.3f ns/byte  B %.3f ns/byte\n",
                ratio[ratio.size() / 2], ratio[ratio.size() / 4], ratio[ratio.size() * 3 / 4],
                rounds, median(ta), median(tb));
}
