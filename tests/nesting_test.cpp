// Converters on documents built to be expensive: untagged variants nested in each other, and
// recursive types nested deeper than the stack holds, on the tree route and through read_as.

#include "direct_differential.hpp"

#include <pthread.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace nesting_models {

/// A string that counts its conversions.
struct probe {
    std::string text;
};
inline long probes = 0;
inline Sylvane::yojson yojson_of_probe(const probe& p) {
    return Sylvane::yojson::String(p.text);
}
inline probe probe_of_yojson(const Sylvane::yojson& t) {
    ++probes;
    if (t.kind() != Sylvane::yojson_kind::String)
        Sylvane::Treeform::of_yojson_error("probe: string needed", t);
    return {std::string(t.as_string())};
}
SYLVANE_CONVERTERS(probe, yojson_of_probe, probe_of_yojson)

// A node whose first alternative lacks a key the second has not: decided by keys alone.
struct wide;
struct narrow;
struct node : std::variant<std::unique_ptr<wide>, std::unique_ptr<narrow>> {
    using variant::variant;
};
struct wide {
    std::vector<node> x;
    std::int64_t y = 0;
};
struct narrow {
    std::vector<node> x;
    std::optional<probe> leaf;
};
SYLVANE_RECORD(wide, x, y)
SYLVANE_RECORD(narrow, x, leaf)
SYLVANE_VARIANT_WITH(node, (untagged), (std::unique_ptr<wide>, "wide"),
                     (std::unique_ptr<narrow>, "narrow"))

// Alternatives with the same keys, the first failing only in its last field, after the nested
// nodes are converted.
struct first_alt;
struct second_alt;
struct tangle : std::variant<std::unique_ptr<first_alt>, std::unique_ptr<second_alt>> {
    using variant::variant;
};
struct int_z {
    std::int64_t z = 0;
};
struct probe_z {
    probe z;
};
SYLVANE_RECORD(int_z, z)
SYLVANE_RECORD(probe_z, z)
struct first_alt {
    std::vector<tangle> x;
    int_z y;
};
struct second_alt {
    std::vector<tangle> x;
    probe_z y;
};
SYLVANE_RECORD(first_alt, x, y)
SYLVANE_RECORD(second_alt, x, y)
SYLVANE_VARIANT_WITH(tangle, (untagged), (std::unique_ptr<first_alt>, "first"),
                     (std::unique_ptr<second_alt>, "second"))

/// A chain of records, one level each.
struct chain {
    std::int64_t v = 0;
    std::unique_ptr<chain> next;
};
SYLVANE_RECORD(chain, v, next)

/// A chain through internally tagged variants and vectors.
struct tree_node;
struct tip {};
struct branch {
    std::vector<tree_node> kids;
};
struct tree_node : std::variant<branch, tip> {
    using variant::variant;
};
SYLVANE_RECORD(branch, kids)
SYLVANE_VARIANT_WITH(tree_node, (internal_tag("t")), (branch, "branch"), (tip, "tip"))

/// An untagged variant that recurses through vectors alone, and one whose alternatives are
/// records.
struct loose : std::variant<std::vector<loose>, std::int64_t> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(loose, (untagged), (std::vector<loose>, "list"), (std::int64_t, "int"))

}  // namespace nesting_models

// Compared by their trees: owning pointers compare by address, and a recursive defaulted
// comparison is more than some compilers take.
template <>
inline constexpr bool direct_test::by_address<nesting_models::tree_node> = true;
template <>
inline constexpr bool direct_test::by_address<nesting_models::node> = true;
template <>
inline constexpr bool direct_test::by_address<nesting_models::tangle> = true;

namespace {

using namespace nesting_models;

/// `levels` objects nested through `key`, `open` before and `close` after each.
std::string nested(std::size_t levels, const std::string& open, const std::string& inner,
                   const std::string& close) {
    std::string text;
    for (std::size_t i = 0; i < levels; ++i) text += open;
    text += inner;
    for (std::size_t i = 0; i < levels; ++i) text += close;
    return text;
}

std::string chain_text(std::size_t levels) {
    return nested(levels - 1, R"({"v":1,"next":)", R"({"v":2})", "}");
}

const Sylvane::read_options deep{.max_depth = 1'000'000};

template <class F>
double seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A level that the first alternative refuses by its keys costs no conversion of its subtree:
// the leaf is converted once, on both routes (before, 2^24 times).
TEST(UntaggedNesting, AlternativesRefusedByTheirKeysConvertNothing) {
    const std::string text = nested(24, R"({"x":[)", R"({"x":[],"leaf":"end"})", "]}");
    probes = 0;
    double took = seconds([&] { (void)Sylvane::of_yojson<node>(Sylvane::read(text)); });
    EXPECT_EQ(probes, 1);
    probes = 0;
    took += seconds([&] { (void)Sylvane::read_as<node>(text); });
    EXPECT_EQ(probes, 1);
    EXPECT_LT(took, 1.0);
    direct_test::expect_same<node>(text);
    // No alternative reads a level: the failure is unchanged, at the top.
    const std::string none = nested(24, R"({"x":[)", R"({"x":[],"leaf":1})", "]}");
    direct_test::expect_same<node>(none);
    EXPECT_THROW(Sylvane::of_yojson<node>(Sylvane::read(none)), Sylvane::Treeform::Of_yojson_error);
}

// The first alternative fails in its last field, after its nested nodes: each of them goes
// straight to the alternative that read it before, so the work grows with depth times size,
// not 2^depth.
TEST(UntaggedNesting, AlternativesFailingLateConvertNestedNodesOnce) {
    const std::string text =
        nested(24, R"({"x":[)", R"({"x":[],"y":{"z":"end"}})", R"(],"y":{"z":"s"}})");
    probes = 0;
    const double took = seconds([&] {
        const tangle t = Sylvane::of_yojson<tangle>(Sylvane::read(text));
        EXPECT_EQ(t.index(), 1u);
    });
    EXPECT_LE(probes, 25 * 26 / 2);  // level k is converted once per level above it
    EXPECT_LT(took, 1.0);
    direct_test::expect_same<tangle>(text);
}

TEST(Nesting, DeepTreesFailAtTheBoundOnBothRoutes) {
    // 100,000 levels: the reader takes them when allowed, the converters stop at 512.
    const std::string text = chain_text(100'000);
    const Sylvane::yojson tree = Sylvane::read(text, deep);
    try {
        (void)Sylvane::of_yojson<chain>(tree);
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::Treeform::Of_yojson_error& e) {
        EXPECT_EQ(e.message(), "chain_of_yojson: nesting deeper than 512");
        std::string pointer;
        for (int i = 0; i < 512; ++i) pointer += "/next";
        EXPECT_EQ(Sylvane::locate(tree, e), pointer);
    }
    try {
        (void)Sylvane::read_as<chain>(text, deep);
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "chain_of_yojson: nesting deeper than 512");
        EXPECT_EQ(e.pointer()->size(), 512u * 5);
    }
    // At the bound itself, both routes read the document.
    direct_test::expect_same<chain>(chain_text(512), direct_test::path::direct);
    direct_test::expect_same<chain>(chain_text(513), direct_test::path::tree, deep);
}

TEST(Nesting, VariantsCountOneLevelWithTheirRecord) {
    // An internally tagged variant and its record are one level, a vector another.
    const auto kids = [](std::size_t levels) {
        return nested(levels, R"({"t":"branch","kids":[)", R"({"t":"tip"})", "]}");
    };
    direct_test::expect_same<tree_node>(kids(255), direct_test::path::direct);
    const auto failure =
        direct_test::expect_same<tree_node>(kids(600), direct_test::path::tree, deep);
    EXPECT_NE(failure.failure.find("tree_node_of_yojson: nesting deeper than 512"),
              std::string::npos)
        << failure.failure;
    // Tagged later, read as a tree: the same bound.
    const std::string late = nested(600, R"({"kids":[)", R"({"t":"tip"})", R"(],"t":"branch"})");
    direct_test::expect_same<tree_node>(late, direct_test::path::either, deep);
}

TEST(Nesting, UntaggedVariantsLetTheNestingFailureThrough) {
    const std::string text = nested(100'000, "[", "1", "]");
    try {
        (void)Sylvane::read_as<loose>(text, deep);
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "loose_of_yojson: nesting deeper than 512");
    }
    direct_test::expect_same<loose>(nested(600, "[", "1", "]"), direct_test::path::either, deep);
    direct_test::expect_same<loose>(nested(300, "[", "1", "]"));
}

// A number at the root, read as a tree that no alternative takes, is located at the root as the
// tree route locates it (it has no recorded place of its own).
TEST(UntaggedNesting, AFailingNumberAtTheRootIsLocatedThere) {
    for (const char* text : {"1.5", " 1.5", "true"}) {
        const auto o = direct_test::expect_same<loose>(text);
        EXPECT_NE(o.failure.find("(at the root; met "), std::string::npos) << o.failure;
    }
}

/// Runs `f` on a thread with a stack of `bytes`.
template <class F>
void on_stack_of(std::size_t bytes, F f) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* arg) -> void* {
                      (*static_cast<F*>(arg))();
                      return nullptr;
                  },
                  &f),
              0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
}

// Frames are several times larger under the sanitizers and without optimisation.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define NESTING_TEST_LARGE_FRAMES 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__OPTIMIZE__)
#define NESTING_TEST_LARGE_FRAMES 1
#endif

// At the default settings, the deepest documents the reader takes are read and converted on a
// thread of 128 KiB, by either route, in an optimised build. Builds with larger frames (the
// sanitizers', debug builds) run the same on a thread of 8 MiB instead.
TEST(Nesting, DefaultSettingsFitA128KiBStack) {
#ifdef NESTING_TEST_LARGE_FRAMES
    constexpr std::size_t stack = 8 << 20;
#else
    constexpr std::size_t stack = 128 << 10;
#endif
    const std::string chains = chain_text(512);
    const std::string kids = nested(255, R"({"t":"branch","kids":[)", R"({"t":"tip"})", "]}");
    const std::string too_deep = chain_text(513);
    bool done = false;
    on_stack_of(stack, [&] {
        EXPECT_EQ(Sylvane::read_as<chain>(chains).v, 1);
        EXPECT_EQ(Sylvane::of_yojson<chain>(Sylvane::read(chains)).v, 1);
        EXPECT_EQ(Sylvane::read_as<tree_node>(kids).index(), 0u);
        EXPECT_EQ(Sylvane::of_yojson<tree_node>(Sylvane::read(kids)).index(), 0u);
        EXPECT_THROW((void)Sylvane::read_as<chain>(too_deep), Sylvane::parse_error);
        EXPECT_THROW((void)Sylvane::read_as<chain>(too_deep, deep), Sylvane::located_error);
        done = true;
    });
    EXPECT_TRUE(done);
}

}  // namespace
