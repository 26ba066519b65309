#pragma once
// Models of the three real documents of the public JSON benchmark corpus (twitter.json,
// citm_catalog.json, canada.json), written as a user would: plain C++ types and the derivation
// macros, no hand-written converter. Shared by the tests and the benchmarks.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <sylvane/derive/derive.hpp>

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
