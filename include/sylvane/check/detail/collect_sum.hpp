#pragma once
/// The walk of `check<T>` into tagged variants. The variant's converter decides first; only when
/// it fails inside the payload of the alternative its tag (a string or an integer code) names
/// is that payload walked for every failure, as the alternative's converter would meet them. A
/// failure of the tag or of the shape around the payload, an untagged variant: the converter's
/// failure alone.

#include <cstddef>
#include <string_view>
#include <tuple>
#include <utility>

#include <sylvane/check/detail/collect.hpp>
#include <sylvane/check/detail/failure_sink.hpp>
#include <sylvane/derive/detail/nesting.hpp>
#include <sylvane/derive/options.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::derive::detail {

/// Collects the failures of the payload of alternative `I` of variant `Desc` in `node`.
/// Returns false, having walked nothing, where the payload is not where the form puts it.
template <class Desc, std::size_t I>
bool collect_payload(failure_sink& sink, const yojson& node) {
    using A = typename variant_table<Desc>::template alt_type<I>;
    constexpr variant_settings settings = Desc::settings;
    if constexpr (arguments_of<A>::count == 0) {
        return false;  // no payload: the failure is the shape's
    } else if constexpr (settings.form == variant_form::list) {
        // ["Tag", arguments...]
        const auto items = node.as_list();
        if (items.size() != 1 + arguments_of<A>::count) return false;
        const auto argument = [&]<class E>(std::type_identity<E>, std::size_t at) {
            const failure_sink::step step(sink, at);
            collect<E>(sink, items[at]);
        };
        if constexpr (is_tuple<A>) {
            [&]<class... E>(std::type_identity<std::tuple<E...>>) {
                [&]<std::size_t... K>(std::index_sequence<K...>) {
                    (argument(std::type_identity<E>{}, K + 1), ...);
                }
                (std::index_sequence_for<E...>{});
            }(std::type_identity<A>{});
        } else {
            argument(std::type_identity<A>{}, 1);
        }
        return true;
    } else if constexpr (settings.form == variant_form::external) {
        // {"Tag": payload}
        const auto& [key, payload] = node.as_assoc()[0];
        const failure_sink::step step(sink, key);
        collect<A>(sink, payload);
        return true;
    } else if constexpr (settings.form == variant_form::internal) {
        // The object itself, as the alternative's record with the tag key set aside.
        collect_record<record_desc_t<A>>(sink, node, settings.tag_key);
        return true;
    } else {
        // {"<tag key>": "Tag", "<content key>": payload}
        const yojson* payload = find_key(node, settings.content_key);
        if (payload == nullptr) return false;
        const failure_sink::step step(sink, settings.content_key);
        collect<A>(sink, *payload);
        return true;
    }
}

/// The index of the alternative that the tag of tagged variant `node` names (a string, or an
/// integer where the tags are codes), or the number of alternatives.
template <class Desc>
std::size_t variant_tag(const yojson& node) {
    using table = variant_table<Desc>;
    constexpr variant_form form = Desc::settings.form;
    if constexpr (form == variant_form::list) {
        if (node.kind() == yojson_kind::List && !node.as_list().empty())
            return find_tag(table::list, node.as_list()[0]);
    } else if constexpr (form == variant_form::external) {
        if (node.kind() == yojson_kind::Assoc && node.as_assoc().size() == 1)
            return find_tag(table::tags, node.as_assoc()[0].first);
    } else if (node.kind() == yojson_kind::Assoc) {
        if (const yojson* tag = find_key(node, Desc::settings.tag_key))
            return find_tag(table::list, *tag);
    }
    return table::size;
}

/// Tagged variants: the converter's failure, or, inside the payload, the payload's failures.
template <class T, class Desc>
requires(Desc::settings.form != variant_form::untagged) struct collector<T, variant_of_tree<Desc>> {
    using table = variant_table<Desc>;
    static void walk(failure_sink& sink, const yojson& node) {
        try {
            (void)of_yojson<T>(node);
        } catch (const nesting_failure& failure) {
            sink.add(failure, node);
        } catch (const Treeform::Of_yojson_error& failure) {
            if (!walk_payload(sink, node)) sink.add(failure, node);
        }
    }

private:
    static bool walk_payload(failure_sink& sink, const yojson& node) {
        const std::size_t i = variant_tag<Desc>(node);
        if (i == table::size) return false;
        // The variant's own level, as its converter counts it.
        const tree_level level(Desc::name, node);
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            static constexpr bool (*payloads[])(failure_sink&,
                                                const yojson&) = {&collect_payload<Desc, I>...};
            return payloads[i](sink, node);
        }
        (std::make_index_sequence<table::size>{});
    }
};

}  // namespace Sylvane::derive::detail
