// Documents nobody here wrote, modelled with natural C++ types and no hand-written converter:
// read, converted, converted back, written, read again and equal as values.

#include "derive_support.hpp"
#include "direct_differential.hpp"
#include "write_differential.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace citm {
struct event {
    std::optional<std::string> description;
    std::uint64_t id = 0;
    std::optional<std::string> logo;
    std::string name;
    std::vector<std::uint64_t> subTopicIds;
    std::optional<std::string> subjectCode;
    std::optional<std::string> subtitle;
    std::vector<std::uint64_t> topicIds;
    bool operator==(const event&) const = default;
};
SYLVANE_RECORD(event, description, id, logo, name, subTopicIds, subjectCode, subtitle, topicIds)

struct price {
    std::uint64_t amount = 0;
    std::uint64_t audienceSubCategoryId = 0;
    std::uint64_t seatCategoryId = 0;
    bool operator==(const price&) const = default;
};
SYLVANE_RECORD(price, amount, audienceSubCategoryId, seatCategoryId)

struct area {
    std::uint64_t areaId = 0;
    std::vector<std::uint64_t> blockIds;
    bool operator==(const area&) const = default;
};
SYLVANE_RECORD(area, areaId, blockIds)

struct seat_category {
    std::vector<area> areas;
    std::uint64_t seatCategoryId = 0;
    bool operator==(const seat_category&) const = default;
};
SYLVANE_RECORD(seat_category, areas, seatCategoryId)

struct performance {
    std::uint64_t eventId = 0;
    std::uint64_t id = 0;
    std::optional<std::string> logo;
    std::optional<std::string> name;
    std::vector<price> prices;
    std::vector<seat_category> seatCategories;
    std::optional<std::string> seatMapImage;
    std::int64_t start = 0;
    std::string venueCode;
    bool operator==(const performance&) const = default;
};
SYLVANE_RECORD(performance, eventId, id, logo, name, prices, seatCategories, seatMapImage, start,
               venueCode)

using names = std::map<std::uint64_t, std::string>;
struct catalog {
    names areaNames;
    names audienceSubCategoryNames;
    names blockNames;
    std::map<std::uint64_t, event> events;
    std::vector<performance> performances;
    names seatCategoryNames;
    names subTopicNames;
    names subjectNames;
    names topicNames;
    std::map<std::uint64_t, std::vector<std::uint64_t>> topicSubTopics;
    std::map<std::string, std::string> venueNames;
    bool operator==(const catalog&) const = default;
};
SYLVANE_RECORD(catalog, areaNames, audienceSubCategoryNames, blockNames, events, performances,
               seatCategoryNames, subTopicNames, subjectNames, topicNames, topicSubTopics,
               venueNames)
}  // namespace citm

namespace canada {
struct polygon {
    std::string type;
    std::vector<std::vector<std::array<double, 2>>> coordinates;
    bool operator==(const polygon&) const = default;
};
SYLVANE_RECORD(polygon, type, coordinates)

struct feature {
    std::string type;
    std::map<std::string, std::string> properties;
    polygon geometry;
    bool operator==(const feature&) const = default;
};
SYLVANE_RECORD(feature, type, properties, geometry)

struct collection {
    std::string type;
    std::vector<feature> features;
    bool operator==(const collection&) const = default;
};
SYLVANE_RECORD(collection, type, features)
}  // namespace canada

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
