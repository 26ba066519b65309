// The schema of each real document's model and the converters agree, as judged by an
// independent validator (python3-jsonschema, run by schema_agreement.py): the schema accepts
// the document, and refuses each of a set of mutated documents that the converters refuse.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <sylvane/check.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/schema.hpp>
#include <sylvane/sylvane.hpp>

#include "real_document_models.hpp"

namespace {

using Sylvane::yojson;
namespace fs = std::filesystem;

/// A change to a document: at the node of `path` (list indexes, object keys, "*" for an
/// object's first entry), the node is replaced by `change(node)`.
struct mutation {
    std::string name;
    std::vector<std::string> path;
    std::function<yojson(const yojson&)> change;
};

yojson edit(const yojson& node, const std::vector<std::string>& path, std::size_t depth,
            const std::function<yojson(const yojson&)>& change) {
    if (depth == path.size()) return change(node);
    const std::string& token = path[depth];
    if (node.kind() == Sylvane::yojson_kind::List) {
        std::vector<yojson> items(node.as_list().begin(), node.as_list().end());
        yojson& item = items.at(std::stoul(token));
        item = edit(item, path, depth + 1, change);
        return yojson::List(std::move(items));
    }
    std::vector<std::pair<std::string, yojson>> entries;
    bool found = false;
    for (const auto& [key, value] : node.as_assoc()) {
        const bool here = !found && (token == "*" || key == token);
        found = found || here;
        entries.emplace_back(std::string(key), here ? edit(value, path, depth + 1, change) : value);
    }
    if (!found) throw std::invalid_argument("no key " + token);
    return yojson::Assoc(std::move(entries));
}

auto to(yojson value) {
    return [value](const yojson&) { return value; };
}
auto without(std::string key) {
    return [key](const yojson& object) {
        std::vector<std::pair<std::string, yojson>> entries;
        for (const auto& [k, v] : object.as_assoc())
            if (k != key) entries.emplace_back(std::string(k), v);
        return yojson::Assoc(std::move(entries));
    };
}
auto with(std::string key, yojson value) {
    return [key, value](const yojson& object) {
        std::vector<std::pair<std::string, yojson>> entries;
        for (const auto& [k, v] : object.as_assoc()) entries.emplace_back(std::string(k), v);
        entries.emplace_back(key, value);
        return yojson::Assoc(std::move(entries));
    };
}

/// Writes the schema of `T`, `file` and its mutations (each checked to be refused by the
/// converters) to a folder, and runs the validator on them.
template <class T>
void agree(const std::string& name, const std::string& file,
           const std::vector<mutation>& mutations) {
    const fs::path source = fs::path(SYLVANE_REAL_DOCUMENTS_DIR) / file;
    ASSERT_TRUE(fs::exists(source)) << source;
    const fs::path dir = fs::path(SYLVANE_SCHEMA_WORK_DIR) / name;
    fs::create_directories(dir);
    const std::string text = Sylvane::derive::detail::file_text(source);
    ASSERT_TRUE(Sylvane::check<T>(text).ok()) << file;
    const yojson document = Sylvane::read(text);

    std::ofstream(dir / "schema.json") << Sylvane::write(Sylvane::json_schema<T>());
    std::string command = std::string(SYLVANE_PYTHON3) + " " + SYLVANE_SCHEMA_AGREEMENT + " " +
                          (dir / "schema.json").string() + " --accept " + source.string() +
                          " --reject";
    for (const mutation& m : mutations) {
        const std::string mutated = Sylvane::write(edit(document, m.path, 0, m.change));
        const auto found = Sylvane::check<T>(mutated);
        ASSERT_FALSE(found.ok()) << m.name << ": the converters take it";
        const fs::path out = dir / (m.name + ".json");
        std::ofstream(out) << mutated;
        command += " " + out.string();
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(schema_agreement, twitter) {
    agree<twitter::timeline>(
        "twitter", "twitter.json",
        {{"id_as_text", {"statuses", "0", "id"}, to(yojson::String("1"))},
         {"negative_id", {"statuses", "0", "id"}, to(yojson::Int(-1))},
         {"count_as_float", {"statuses", "0", "user", "followers_count"}, to(yojson::Float(1.5))},
         {"no_screen_name", {"statuses", "0", "user"}, without("screen_name")},
         {"unknown_result_type",
          {"statuses", "0", "metadata", "result_type"},
          to(yojson::String("sometimes"))},
         {"unknown_key", {"search_metadata"}, with("page", yojson::Int(1))},
         {"hashtags_as_object", {"statuses", "0", "entities", "hashtags"}, to(yojson::Assoc({}))},
         {"urls_null",
          {"statuses", "0", "user", "entities", "description", "urls"},
          to(yojson::Null())},
         {"statuses_missing", {}, without("statuses")}});
}

TEST(schema_agreement, citm_catalog) {
    agree<citm::catalog>(
        "citm", "citm_catalog.json",
        {{"event_key_not_integer", {"events"}, with("x1", yojson::Assoc({}))},
         {"event_key_leading_zero", {"areaNames"}, with("012", yojson::String("a"))},
         {"amount_as_text",
          {"performances", "0", "prices", "0", "amount"},
          to(yojson::String("12"))},
         {"sub_topics_of_text", {"topicSubTopics", "*"}, to(yojson::List({yojson::String("a")}))},
         {"names_as_list", {"areaNames"}, to(yojson::List({}))},
         {"venue_name_number", {"venueNames", "*"}, to(yojson::Int(5))},
         {"start_as_float", {"performances", "0", "start"}, to(yojson::Float(1.5))},
         {"performance_without_id", {"performances", "0"}, without("id")},
         {"negative_event_id", {"events", "*", "id"}, to(yojson::Int(-5))}});
}

TEST(schema_agreement, canada) {
    agree<canada::collection>(
        "canada", "canada.json",
        {{"point_of_one",
          {"features", "0", "geometry", "coordinates", "0", "0"},
          to(yojson::List({yojson::Float(1)}))},
         {"point_of_three",
          {"features", "0", "geometry", "coordinates", "0", "0"},
          to(yojson::List({yojson::Int(1), yojson::Int(2), yojson::Int(3)}))},
         {"coordinate_as_text",
          {"features", "0", "geometry", "coordinates", "0", "0", "1"},
          to(yojson::String("1.5"))},
         {"type_as_number", {"type"}, to(yojson::Int(5))},
         {"properties_as_text", {"features", "0", "properties"}, to(yojson::String("x"))},
         {"property_number", {"features", "0", "properties"}, with("n", yojson::Int(1))},
         {"feature_without_geometry", {"features", "0"}, without("geometry")}});
}

}  // namespace
