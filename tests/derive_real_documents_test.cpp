// Documents nobody here wrote, modelled with natural C++ types and no hand-written converter:
// read, converted, converted back, written, read again and equal as values.

#include "derive_support.hpp"
#include "direct_differential.hpp"
#include "real_document_models.hpp"
#include "write_differential.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::filesystem::path real_dir = SYLVANE_REAL_DOCUMENTS_DIR;

/// The document `name` read as a `T`, and the same after a trip through tree and text.
template <class T>
std::pair<T, T> twice(const char* name) {
    const Sylvane::yojson tree = Sylvane::read_file(real_dir / name);
    T first = Sylvane::of_yojson<T>(tree);
    T second = Sylvane::of_yojson<T>(Sylvane::read(Sylvane::write(Sylvane::yojson_of(first))));
    return {std::move(first), std::move(second)};
}

TEST(real_documents, citm_catalog) {
    if (!std::filesystem::exists(real_dir / "citm_catalog.json")) GTEST_SKIP() << real_dir;
    const auto [first, second] = twice<citm::catalog>("citm_catalog.json");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.events.size(), 184u);
    EXPECT_EQ(first.performances.size(), 243u);
    EXPECT_EQ(first.areaNames.at(205705993), "Arri\u00e8re-sc\u00e8ne central");
    EXPECT_EQ(first.events.at(138586341).name, "30th Anniversary Tour");
    EXPECT_FALSE(first.events.at(138586341).subjectCode);
    EXPECT_EQ(first.venueNames.at("PLEYEL_PLEYEL"), "Salle Pleyel");
}

TEST(real_documents, canada) {
    if (!std::filesystem::exists(real_dir / "canada.json")) GTEST_SKIP() << real_dir;
    const auto [first, second] = twice<canada::collection>("canada.json");
    EXPECT_EQ(first, second);
    ASSERT_EQ(first.features.size(), 1u);
    const auto& rings = first.features[0].geometry.coordinates;
    std::size_t points = 0;
    for (const auto& ring : rings) points += ring.size();
    EXPECT_EQ(rings.size(), 480u);
    EXPECT_EQ(points, 55563u);
    EXPECT_EQ(rings[0][0], (std::array<double, 2>{-65.613616999999977, 43.420273000000009}));
}

TEST(real_documents, read_straight_from_the_text_as_through_the_tree) {
    using direct_test::path;
    if (!std::filesystem::exists(real_dir / "citm_catalog.json")) GTEST_SKIP() << real_dir;
    const std::string citm = Sylvane::derive::detail::file_text(real_dir / "citm_catalog.json");
    direct_test::expect_same<citm::catalog>(citm, path::direct);
    direct_test::expect_same_when_damaged<citm::catalog>(citm, 40);
    // Its lines indented with tabs instead, but every third one still with spaces.
    std::string tabbed;
    std::size_t line = 0;
    for (std::size_t at = 0; at < citm.size(); ++line) {
        const std::size_t spaces = citm.find_first_not_of(' ', at) - at;
        tabbed.append(line % 3 == 0 ? spaces : spaces / 4, line % 3 == 0 ? ' ' : '\t');
        const std::size_t next = std::min(citm.find('\n', at), citm.size() - 1) + 1;
        tabbed.append(citm, at + spaces, next - at - spaces);
        at = next;
    }
    ASSERT_NE(tabbed.find("\n\t\t\t"), std::string::npos);
    direct_test::expect_same<citm::catalog>(tabbed, path::direct);
    const std::string canada = Sylvane::derive::detail::file_text(real_dir / "canada.json");
    direct_test::expect_same<canada::collection>(canada, path::direct);
    direct_test::expect_same_when_damaged<canada::collection>(canada, 20);
}

TEST(real_documents, written_straight_to_the_text_as_through_the_tree) {
    using write_test::path;
    if (!std::filesystem::exists(real_dir / "citm_catalog.json")) GTEST_SKIP() << real_dir;
    write_test::expect_same(Sylvane::read_file_as<citm::catalog>(real_dir / "citm_catalog.json"),
                            path::direct);
    write_test::expect_same(Sylvane::read_file_as<canada::collection>(real_dir / "canada.json"),
                            path::direct);
}

}  // namespace
