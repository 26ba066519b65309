// Models of real documents (twitter.json's in real_document_models.hpp, GeoJSON's below),
// described with the derivation macros alone and without touching the global flag: each
// document is read into its model, written back, and read again to the same values; keys absent
// from the input stay absent.

#include "derive_support.hpp"
#include "direct_differential.hpp"
#include "real_document_models.hpp"
#include "write_differential.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace geo {

using position = std::pair<double, double>;
struct point {
    position coordinates;
    bool operator==(const point&) const = default;
};
SYLVANE_RECORD(point, coordinates)
struct line_string {
    std::vector<position> coordinates;
    bool operator==(const line_string&) const = default;
};
SYLVANE_RECORD(line_string, coordinates)
struct polygon {
    std::vector<std::vector<position>> coordinates;
    bool operator==(const polygon&) const = default;
};
SYLVANE_RECORD(polygon, coordinates)
struct multi_polygon {
    std::vector<std::vector<std::vector<position>>> coordinates;
    bool operator==(const multi_polygon&) const = default;
};
SYLVANE_RECORD(multi_polygon, coordinates)

struct geometry : std::variant<point, line_string, polygon, multi_polygon> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(geometry, (internal_tag("type")), (point, "Point"),
                     (line_string, "LineString"), (polygon, "Polygon"),
                     (multi_polygon, "MultiPolygon"))

struct properties {
    std::optional<std::string> name;
    bool operator==(const properties&) const = default;
};
SYLVANE_RECORD_WITH(properties, (omit_empty, ignore_unknown_keys), name)

struct feature {
    std::string type = "Feature";
    geo::properties properties;
    geo::geometry geometry;
    bool operator==(const feature&) const = default;
};
SYLVANE_RECORD(feature, type, properties, geometry)

struct collection {
    std::string type = "FeatureCollection";
    std::vector<feature> features;
    bool operator==(const collection&) const = default;
};
SYLVANE_RECORD(collection, type, features)

}  // namespace geo

namespace {

using Sylvane::read;
using Sylvane::write;
using Sylvane::yojson;
using Sylvane::yojson_of;

const std::filesystem::path real = SYLVANE_REAL_DOCUMENTS_DIR;

/// `T` read from `text`, written, and read again to the same value; the written text.
template <class T>
std::string round_trip(const std::string& text, T& value) {
    value = Sylvane::read_as<T>(text);
    const std::string written = write(yojson_of(value));
    EXPECT_EQ(Sylvane::read_as<T>(written), value);
    return written;
}

TEST(derive_models, twitter) {
    if (!std::filesystem::exists(real / "twitter.json")) GTEST_SKIP() << "no " << real;
    const bool flag = Sylvane::Treeform::record_check_extra_fields.get();
    twitter::timeline t;
    const std::string written =
        round_trip(Sylvane::derive::detail::file_text(real / "twitter.json"), t);
    EXPECT_EQ(Sylvane::Treeform::record_check_extra_fields.get(), flag);
    ASSERT_EQ(t.statuses.size(), 100u);
    EXPECT_EQ(t.statuses[0].id, 505874924095815700u);
    EXPECT_EQ(t.statuses[0].metadata.result_type, twitter::result_type::recent);
    // Optionals absent from the input stay absent; those given stay given.
    const yojson again = read(written);
    const yojson original = read(Sylvane::derive::detail::file_text(real / "twitter.json"));
    const auto statuses = original.as_assoc()[0].second.as_list();
    const auto statuses_again = again.as_assoc()[0].second.as_list();
    std::size_t retweets = 0;
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        auto has = [](const yojson& o, std::string_view key) {
            for (const auto& [k, v] : o.as_assoc()) {
                if (k == key) return true;
            }
            return false;
        };
        for (std::string_view key : {"retweeted_status", "possibly_sensitive"}) {
            EXPECT_EQ(has(statuses_again[i], key), has(statuses[i], key)) << i << " " << key;
        }
        retweets += t.statuses[i].retweeted_status != nullptr;
    }
    EXPECT_EQ(retweets, 73u);
}

TEST(derive_models, geojson_with_internally_tagged_geometries) {
    geo::collection c;
    round_trip(R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"name": "a", "other": 1},
         "geometry": {"type": "Point", "coordinates": [1.5, 2]}},
        {"type": "Feature", "properties": {},
         "geometry": {"coordinates": [[0, 0], [1, 1]], "type": "LineString"}},
        {"type": "Feature", "properties": {},
         "geometry": {"type": "MultiPolygon", "coordinates": [[[[0, 0], [1, 0], [0, 1]]]]}}]})",
               c);
    ASSERT_EQ(c.features.size(), 3u);
    EXPECT_EQ(std::get<geo::point>(c.features[0].geometry).coordinates, (geo::position{1.5, 2}));
    EXPECT_EQ(std::get<geo::line_string>(c.features[1].geometry).coordinates.size(), 2u);
    EXPECT_EQ(c.features[1].properties.name, std::nullopt);
    if (!std::filesystem::exists(real / "canada.json")) GTEST_SKIP() << "no " << real;
    const std::string text = Sylvane::derive::detail::file_text(real / "canada.json");
    round_trip(text, c);
    ASSERT_EQ(c.features.size(), 1u);
    EXPECT_EQ(c.features[0].properties.name, "Canada");
    EXPECT_GT(std::get<geo::polygon>(c.features[0].geometry).coordinates.size(), 400u);
    // A malformed geometry deep in the document is reported where it is.
    try {
        Sylvane::read_as<geo::collection>(
            "{\"type\": \"FeatureCollection\", \"features\": [\n"
            "  {\"type\": \"Feature\", \"properties\": {},\n"
            "   \"geometry\": {\"type\": \"Circle\", \"coordinates\": []}}]}");
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "geometry_of_yojson: unexpected variant constructor");
        EXPECT_EQ(e.pointer(), "/features/0/geometry");
        EXPECT_EQ(e.line(), 3u);
        EXPECT_EQ(e.column(), 16u);
    }
}

/// Straight from the text, the models read what the tree path reads; damaged, they fail as it
/// fails, with or without unknown keys refused.
TEST(derive_models, read_straight_from_the_text_as_through_the_tree) {
    using direct_test::path;
    if (!std::filesystem::exists(real / "twitter.json")) GTEST_SKIP() << "no " << real;
    const std::string tweets = Sylvane::derive::detail::file_text(real / "twitter.json");
    direct_test::expect_same<twitter::timeline>(tweets, path::direct);
    direct_test::expect_same_when_damaged<twitter::timeline>(tweets, 40);
    {
        const derive_test::extra_fields_checked flag(true);
        direct_test::expect_same<twitter::timeline>(tweets);
    }
    const std::string canada = Sylvane::derive::detail::file_text(real / "canada.json");
    direct_test::expect_same<geo::collection>(canada, path::direct);
    direct_test::expect_same_when_damaged<geo::collection>(canada, 20);
}

/// A record of more than 32 fields (a user, 40) whose keys come in another order than its
/// fields', or not at all, is read field by field all the same.
TEST(derive_models, wide_record_with_keys_out_of_order) {
    using direct_test::path;
    if (!std::filesystem::exists(real / "twitter.json")) GTEST_SKIP() << "no " << real;
    const yojson tweets = read(Sylvane::derive::detail::file_text(real / "twitter.json"));
    const auto member = [](const yojson& t, std::string_view key) {
        for (const auto& [k, v] : t.as_assoc())
            if (k == key) return v;
        return yojson();
    };
    std::vector<yojson::field> fields;
    for (const auto& [k, v] : member(member(tweets, "statuses").as_list()[0], "user").as_assoc())
        fields.emplace_back(std::string(k), v);
    ASSERT_EQ(fields.size(), 40u);
    const std::vector<yojson::field> reversed(fields.rbegin(), fields.rend());
    direct_test::expect_same<twitter::user>(write(yojson::Assoc(reversed)), path::direct);
    // Every other key left out, the rest in order: a required field missing fails both ways.
    std::vector<yojson::field> some;
    for (std::size_t i = 0; i < fields.size(); i += 2) some.push_back(fields[i]);
    direct_test::expect_same<twitter::user>(write(yojson::Assoc(some)));
}

/// Written straight to the text, the models give the bytes of their trees: twitter's records
/// without any tree, GeoJSON's with a tree per geometry (a variant).
TEST(derive_models, written_straight_to_the_text_as_through_the_tree) {
    using write_test::path;
    if (!std::filesystem::exists(real / "twitter.json")) GTEST_SKIP() << "no " << real;
    const auto tweets = Sylvane::read_file_as<twitter::timeline>(real / "twitter.json");
    write_test::expect_same(tweets, path::direct);
    Sylvane::write_options options;
    options.check_utf8 = true;
    write_test::expect_same(tweets, path::direct, options);
    const auto canada = Sylvane::read_file_as<geo::collection>(real / "canada.json");
    write_test::expect_same(canada, path::tree);
}

}  // namespace
