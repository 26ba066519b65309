// The out-of-line parts of derived converters: reading a sum tree's tag, writing one.

#include <sylvane/derive/sum.hpp>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace Sylvane::derive::detail {

std::size_t find_tag(std::span<const std::string_view> tags, std::string_view tag) noexcept {
    std::size_t i = 0;
    while (i < tags.size() && tags[i] != tag) ++i;
    return i;
}

std::size_t find_code(std::span<const std::int64_t> codes, std::int64_t code) noexcept {
    std::size_t i = 0;
    while (i < codes.size() && codes[i] != code) ++i;
    return i;
}

std::size_t find_tag(tag_list tags, const yojson& tag) noexcept {
    if (!tags.codes.empty())
        return tag.kind() == yojson_kind::Int ? find_code(tags.codes, tag.as_int())
                                              : tags.codes.size();
    return tag.kind() == yojson_kind::String ? find_tag(tags.names, tag.as_string())
                                             : tags.names.size();
}

const yojson* find_key(const yojson& tree, std::string_view key) noexcept {
    for (const auto& [k, v] : tree.as_assoc()) {
        if (k == key) return &v;
    }
    return nullptr;
}

sum_match match_sum(std::string_view type_name, tag_list tags, std::span<const std::size_t> arities,
                    const yojson& tree) {
    const std::size_t count = arities.size();
    if (count == 0) Treeform_error::empty_type(type_name, tree);
    switch (tree.kind()) {
        case yojson_kind::String:
        case yojson_kind::Int: {
            const std::size_t i = find_tag(tags, tree);
            if (i == count) unknown_tag(type_name, tags, tree);
            if (arities[i] != 0) Treeform_error::stag_takes_args(type_name, tree);
            return {i, {}};
        }
        case yojson_kind::List: {
            const std::span<const yojson> items = tree.as_list();
            if (items.empty()) Treeform_error::empty_list_invalid_sum(type_name, tree);
            const yojson& head = items[0];
            if (head.kind() == yojson_kind::List) {
                Treeform_error::nested_list_invalid_sum(type_name, tree);
            }
            const std::size_t i = find_tag(tags, head);
            if (i == count) unknown_tag(type_name, tags, tree);
            const std::span<const yojson> args = items.subspan(1);
            if (arities[i] == 0) {
                if (!args.empty()) Treeform_error::stag_no_args(type_name, tree);
            } else if (args.empty()) {
                Treeform_error::stag_takes_args(type_name, tree);
            } else if (args.size() != arities[i]) {
                // The tag as the message shows it: its string, or its code's digits.
                const std::string tag =
                    tags.codes.empty() ? std::string(tags.names[i]) : std::to_string(tags.codes[i]);
                Treeform_error::stag_incorrect_n_args(type_name, tag, tree);
            }
            return {i, args};
        }
        default: unknown_tag(type_name, tags, tree);
    }
}

yojson tag_tree(tag_list tags, std::size_t i) {
    return tags.codes.empty() ? yojson::String(tags.names[i]) : yojson::Int(tags.codes[i]);
}

yojson tagged(yojson tag) {
    list_builder items(1);
    items.push_back(std::move(tag));
    return std::move(items).finish();
}

yojson tag_object(std::string_view key, yojson tag, std::string_view content_key, yojson* payload) {
    assoc_builder fields(payload == nullptr ? 1 : 2, key.size() + content_key.size());
    fields.push_back(key, std::move(tag));
    if (payload != nullptr) fields.push_back(content_key, std::move(*payload));
    return std::move(fields).finish();
}

void not_an_enumerator(std::string_view type_name, long long value) {
    throw std::invalid_argument("yojson_of_" + std::string(type_name) + ": " +
                                std::to_string(value) + " is no enumerator of the type");
}

}  // namespace Sylvane::derive::detail

namespace Sylvane::derive::detail {

namespace {

thread_local untagged_memo* memo_now = nullptr;

}  // namespace

struct untagged_memo::table {
    struct key {
        const void* type;
        const void* payload;
        yojson_kind kind;
        bool operator==(const key&) const = default;
    };
    struct key_hash {
        std::size_t operator()(const key& k) const noexcept {
            const std::hash<const void*> h;
            return h(k.type) ^ (h(k.payload) * 31) ^ static_cast<std::size_t>(k.kind);
        }
    };
    struct entry {
        yojson pinned;  // keeps the payload, and so its address, for the memo's life
        std::size_t index;
    };
    std::unordered_map<key, entry, key_hash> entries;

    /// The key of `tree` as `type`; none for a tree without a payload of children.
    static std::optional<key> key_of(const void* type, const yojson& tree) {
        switch (tree.kind()) {
            case yojson_kind::List: return key{type, tree.as_list().data(), tree.kind()};
            case yojson_kind::Assoc: return key{type, tree.as_assoc().data(), tree.kind()};
            default: return std::nullopt;
        }
    }
};

untagged_session::untagged_session() noexcept : memo_(memo_now) {
    if (memo_ == nullptr) memo_ = memo_now = &own_;
}

untagged_session::~untagged_session() {
    if (memo_ == &own_) memo_now = nullptr;
}

untagged_memo::untagged_memo() noexcept = default;

untagged_memo::~untagged_memo() {
    delete table_;
}

std::size_t untagged_memo::find(const void* type, const yojson& tree) const {
    if (table_ == nullptr) return unknown;
    const auto k = table::key_of(type, tree);
    if (!k) return unknown;
    const auto found = table_->entries.find(*k);
    return found == table_->entries.end() ? unknown : found->second.index;
}

void untagged_memo::record(const void* type, const yojson& tree, std::size_t index) {
    const auto k = table::key_of(type, tree);
    if (!k) return;
    if (table_ == nullptr) table_ = new table;
    table_->entries.insert_or_assign(*k, table::entry{tree, index});
}

}  // namespace Sylvane::derive::detail
