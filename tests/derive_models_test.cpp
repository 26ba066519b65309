// Models of real documents, described with the derivation macros alone and without touching
// the global flag: each document is read into its model, written back, and read again to the
// same values; keys absent from the input stay absent.

#include "derive_support.hpp"
#include "direct_differential.hpp"
#include "write_differential.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace twitter {

enum class result_type { recent, popular, mixed };
SYLVANE_ENUM(result_type, recent, popular, mixed)

struct metadata {
    twitter::result_type result_type = result_type::recent;
    std::string iso_language_code;
    bool operator==(const metadata&) const = default;
};
SYLVANE_RECORD(metadata, result_type, iso_language_code)

struct url {
    std::string url;
    std::string expanded_url;
    std::string display_url;
    std::vector<std::int64_t> indices;
    bool operator==(const twitter::url&) const = default;
};
SYLVANE_RECORD(url, url, expanded_url, display_url, indices)

struct urls {
    std::vector<twitter::url> urls;
    bool operator==(const twitter::urls&) const = default;
};
SYLVANE_RECORD(urls, urls)

struct user_entities {
    std::optional<twitter::urls> url;
    twitter::urls description;
    bool operator==(const user_entities&) const = default;
};
SYLVANE_RECORD_WITH(user_entities, (omit_empty), url, description)

struct user {
    std::uint64_t id = 0;
    std::string id_str;
    std::string name;
    std::string screen_name;
    std::string location;
    std::string description;
    std::optional<std::string> url;
    user_entities entities;
    bool is_protected = false;
    std::int64_t followers_count = 0;
    std::int64_t friends_count = 0;
    std::int64_t listed_count = 0;
    std::string created_at;
    std::int64_t favourites_count = 0;
    std::optional<std::int64_t> utc_offset;
    std::optional<std::string> time_zone;
    bool geo_enabled = false;
    bool verified = false;
    std::int64_t statuses_count = 0;
    std::string lang;
    bool contributors_enabled = false;
    bool is_translator = false;
    bool is_translation_enabled = false;
    std::string profile_background_color;
    std::string profile_background_image_url;
    std::string profile_background_image_url_https;
    bool profile_background_tile = false;
    std::string profile_image_url;
    std::string profile_image_url_https;
    std::optional<std::string> profile_banner_url;
    std::string profile_link_color;
    std::string profile_sidebar_border_color;
    std::string profile_sidebar_fill_color;
    std::string profile_text_color;
    bool profile_use_background_image = false;
    bool default_profile = false;
    bool default_profile_image = false;
    bool following = false;
    bool follow_request_sent = false;
    bool notifications = false;
    bool operator==(const user&) const = default;
};
SYLVANE_RECORD_WITH(user, (omit_empty), id, id_str, name, screen_name, location, description, url,
                    entities, (is_protected, key("protected")), followers_count, friends_count,
                    listed_count, created_at, favourites_count, utc_offset, time_zone, geo_enabled,
                    verified, statuses_count, lang, contributors_enabled, is_translator,
                    is_translation_enabled, profile_background_color, profile_background_image_url,
                    profile_background_image_url_https, profile_background_tile, profile_image_url,
                    profile_image_url_https, profile_banner_url, profile_link_color,
                    profile_sidebar_border_color, profile_sidebar_fill_color, profile_text_color,
                    profile_use_background_image, default_profile, default_profile_image, following,
                    follow_request_sent, notifications)

struct hashtag {
    std::string text;
    std::vector<std::int64_t> indices;
    bool operator==(const hashtag&) const = default;
};
SYLVANE_RECORD(hashtag, text, indices)

struct mention {
    std::string screen_name;
    std::string name;
    std::uint64_t id = 0;
    std::string id_str;
    std::vector<std::int64_t> indices;
    bool operator==(const mention&) const = default;
};
SYLVANE_RECORD(mention, screen_name, name, id, id_str, indices)

struct size {
    std::int64_t w = 0;
    std::int64_t h = 0;
    std::string resize;
    bool operator==(const twitter::size&) const = default;
};
SYLVANE_RECORD(size, w, h, resize)

struct sizes {
    twitter::size medium;
    twitter::size small;
    twitter::size thumb;
    twitter::size large;
    bool operator==(const sizes&) const = default;
};
SYLVANE_RECORD(sizes, medium, small, thumb, large)

struct media {
    std::uint64_t id = 0;
    std::string id_str;
    std::vector<std::int64_t> indices;
    std::string media_url;
    std::string media_url_https;
    std::string url;
    std::string display_url;
    std::string expanded_url;
    std::string type;
    twitter::sizes sizes;
    std::optional<std::uint64_t> source_status_id;
    std::optional<std::string> source_status_id_str;
    bool operator==(const twitter::media&) const = default;
};
SYLVANE_RECORD_WITH(media, (omit_empty), id, id_str, indices, media_url, media_url_https, url,
                    display_url, expanded_url, type, sizes, source_status_id, source_status_id_str)

struct entities {
    std::vector<hashtag> hashtags;
    std::vector<hashtag> symbols;
    std::vector<twitter::url> urls;
    std::vector<mention> user_mentions;
    std::optional<std::vector<twitter::media>> media;
    bool operator==(const entities&) const = default;
};
SYLVANE_RECORD_WITH(entities, (omit_empty), hashtags, symbols, urls, user_mentions, media)

// A status holds the status it retweets: the model is recursive.
struct status {
    twitter::metadata metadata;
    std::string created_at;
    std::uint64_t id = 0;
    std::string id_str;
    std::string text;
    std::string source;
    bool truncated = false;
    std::optional<std::uint64_t> in_reply_to_status_id;
    std::optional<std::string> in_reply_to_status_id_str;
    std::optional<std::uint64_t> in_reply_to_user_id;
    std::optional<std::string> in_reply_to_user_id_str;
    std::optional<std::string> in_reply_to_screen_name;
    twitter::user user;
    std::optional<std::string> geo;
    std::optional<std::string> coordinates;
    std::optional<std::string> place;
    std::optional<std::string> contributors;
    std::int64_t retweet_count = 0;
    std::int64_t favorite_count = 0;
    twitter::entities entities;
    bool favorited = false;
    bool retweeted = false;
    std::optional<bool> possibly_sensitive;
    std::string lang;
    std::unique_ptr<status> retweeted_status;

    bool operator==(const status& o) const {
        return std::tie(metadata, created_at, id, id_str, text, source, truncated,
                        in_reply_to_status_id, in_reply_to_status_id_str, in_reply_to_user_id,
                        in_reply_to_user_id_str, in_reply_to_screen_name, user, geo, coordinates,
                        place, contributors, retweet_count, favorite_count, entities, favorited,
                        retweeted, possibly_sensitive, lang) ==
                   std::tie(o.metadata, o.created_at, o.id, o.id_str, o.text, o.source, o.truncated,
                            o.in_reply_to_status_id, o.in_reply_to_status_id_str,
                            o.in_reply_to_user_id, o.in_reply_to_user_id_str,
                            o.in_reply_to_screen_name, o.user, o.geo, o.coordinates, o.place,
                            o.contributors, o.retweet_count, o.favorite_count, o.entities,
                            o.favorited, o.retweeted, o.possibly_sensitive, o.lang) &&
               (retweeted_status == nullptr
                    ? o.retweeted_status == nullptr
                    : o.retweeted_status != nullptr && *retweeted_status == *o.retweeted_status);
    }
};
SYLVANE_RECORD_WITH(status, (omit_empty), metadata, created_at, id, id_str, text, source, truncated,
                    in_reply_to_status_id, in_reply_to_status_id_str, in_reply_to_user_id,
                    in_reply_to_user_id_str, in_reply_to_screen_name, user, geo, coordinates, place,
                    contributors, retweet_count, favorite_count, entities, favorited, retweeted,
                    possibly_sensitive, lang, retweeted_status)

struct search_metadata {
    double completed_in = 0;
    std::uint64_t max_id = 0;
    std::string max_id_str;
    std::string next_results;
    std::string query;
    std::string refresh_url;
    std::int64_t count = 0;
    std::uint64_t since_id = 0;
    std::string since_id_str;
    bool operator==(const search_metadata&) const = default;
};
SYLVANE_RECORD(search_metadata, completed_in, max_id, max_id_str, next_results, query, refresh_url,
               count, since_id, since_id_str)

struct timeline {
    std::vector<status> statuses;
    twitter::search_metadata search_metadata;
    bool operator==(const timeline&) const = default;
};
SYLVANE_RECORD(timeline, statuses, search_metadata)

}  // namespace twitter

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
