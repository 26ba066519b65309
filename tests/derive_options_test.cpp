// The options of derived converters: keys, naming policies, defaults, skipped and omitted
// fields, unknown keys per record, enumeration tags, the variant forms, the intrusive forms, and
// `read_as` with located failures.

#include "derive_support.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace opt {

struct account {
    std::string klass;
    std::string first_name;
    std::int64_t id = 0;
    std::optional<std::int64_t> retries = 3;
    std::int64_t limit = 10;
    std::string cache = "kept";
    std::optional<std::string> note;
    bool operator==(const account&) const = default;
};
SYLVANE_RECORD_WITH(account, (rename_all(camel_case), omit_empty), (klass, key("class")),
                    first_name, (id, key("@id")), (retries, with_default), (limit, with_default),
                    (cache, skip), note)

struct cased {
    std::int64_t user_id = 0;
    std::int64_t _n = 0;
    bool operator==(const cased&) const = default;
};
SYLVANE_RECORD_WITH(cased, (rename_all(pascal_case), deny_unknown_keys), user_id, _n)
struct screaming {
    std::int64_t user_id = 0;
};
SYLVANE_RECORD_WITH(screaming, (rename_all(screaming_snake_case)), user_id)
struct loose {
    std::int64_t a = 1;
    std::int64_t b = 2;
    bool operator==(const loose&) const = default;
};
SYLVANE_RECORD_WITH(loose, (ignore_unknown_keys, with_default), a, b)
// Defaulted fields without initialisers: a missing key leaves them zero, not indeterminate.
struct bare {
    std::int64_t a;
    double b;
    std::int64_t c = 5;
};
SYLVANE_RECORD_WITH(bare, (with_default), a, b, c)

enum class level { low_water, high_water, flood };
SYLVANE_ENUM_WITH(level, (rename_all(kebab_case)), low_water, (high_water, "HIGH"), flood)

struct circle {
    double radius = 0;
    bool operator==(const circle&) const = default;
};
SYLVANE_RECORD(circle, radius)
struct rect {
    double w = 0;
    double h = 0;
    bool operator==(const rect&) const = default;
};
SYLVANE_RECORD(rect, w, h)
struct blank {
    bool operator==(const blank&) const = default;
};

using ext = std::variant<circle, blank, std::int64_t>;
SYLVANE_VARIANT_WITH(ext, (external_tag), (circle, "Circle"), (blank, "Blank"), (std::int64_t, "N"))
struct internal : std::variant<circle, rect, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(internal, (internal_tag("type")), (circle, "circle"), (rect, "rect"),
                     (blank, "blank"))
struct adjacent : std::variant<circle, std::string, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(adjacent, (adjacent_tag("t", "c")), (circle, "C"), (std::string, "S"),
                     (blank, "B"))
struct loose_shape : std::variant<rect, circle, std::int64_t, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(loose_shape, (untagged), (rect, "rect"), (circle, "circle"),
                     (std::int64_t, "int"), (blank, "blank"))

class secret {
public:
    secret() = default;
    explicit secret(std::int64_t v) : value_(v) {}
    bool operator==(const secret&) const = default;

    struct inner {
        std::string user;
        bool operator==(const inner&) const = default;
        SYLVANE_INTRUSIVE_RECORD(inner, user)
    };
    enum class mode { on, off };
    SYLVANE_NESTED_ENUM(mode, on, off)

    inner in;
    mode m = mode::on;

private:
    std::int64_t value_ = 0;
    SYLVANE_INTRUSIVE_RECORD_WITH(secret, (rename_all(camel_case)), (value_, key("value")), in, m)
};

struct doc {
    std::vector<circle> shapes;
};
SYLVANE_RECORD_WITH(doc, (ignore_unknown_keys), shapes)
struct odd {
    std::int64_t n = 0;
};
SYLVANE_RECORD(odd, (n, key("a/~b")))

}  // namespace opt

namespace {

using namespace derive_test;
using Sylvane::of_yojson;
using Sylvane::read;
using Sylvane::write;
using Sylvane::yojson_of;

TEST(derive_options, keys_defaults_skip_and_omitted_optionals) {
    opt::account a{"admin", "Ann", 7, std::nullopt, 5, "not written", std::nullopt};
    const yojson t = yojson_of(a);
    // Empty optionals are left out; the skipped member is neither written nor read.
    EXPECT_EQ(write(t), R"({"class":"admin","firstName":"Ann","@id":7,"limit":5})");
    a.cache = "kept";
    a.retries = std::nullopt;  // a missing defaulted optional keeps its initialiser: 3
    opt::account back = of_yojson<opt::account>(t);
    EXPECT_EQ(back.retries, 3);
    back.retries = std::nullopt;
    EXPECT_EQ(back, a);
    const auto d = of_yojson<opt::account>(read(R"({"class":"c","firstName":"f","@id":1})"));
    EXPECT_EQ(d.limit, 10);
    EXPECT_EQ(d.retries, 3);
    EXPECT_EQ(d.note, std::nullopt);
    // A required field is reported under its JSON key; the skipped member's key is unknown.
    const yojson missing = read(R"({"firstName":"f"})");
    expect_failure([&] { of_yojson<opt::account>(missing); },
                   "account_of_yojson: the following record elements were undefined: class @id",
                   missing);
    extra_fields_checked on(true);
    const yojson extra = read(R"({"class":"c","firstName":"f","@id":1,"cache":"x"})");
    expect_failure([&] { of_yojson<opt::account>(extra); },
                   "account_of_yojson: extra fields: cache", extra);
}

TEST(derive_options, defaulted_fields_without_initialisers_read_as_zero) {
    for (int round = 0; round < 2; ++round) {
        const opt::bare tree = of_yojson<opt::bare>(read("{}"));
        const opt::bare text = Sylvane::read_as<opt::bare>("{}");
        EXPECT_EQ(tree.a, 0);
        EXPECT_EQ(tree.b, 0.0);
        EXPECT_EQ(tree.c, 5);
        EXPECT_EQ(text.a, 0);
        EXPECT_EQ(text.b, 0.0);
        EXPECT_EQ(text.c, 5);
    }
}

TEST(derive_options, naming_policies) {
    EXPECT_EQ(write(yojson_of(opt::cased{1, 2})), R"({"UserId":1,"N":2})");
    EXPECT_EQ(write(yojson_of(opt::screaming{3})), R"({"USER_ID":3})");
    EXPECT_EQ(of_yojson<opt::cased>(read(R"({"N":2,"UserId":1})")), (opt::cased{1, 2}));
}

TEST(derive_options, unknown_keys_per_record_override_the_flag) {
    const yojson t = read(R"({"UserId":1,"N":2,"x":0})");
    const yojson u = read(R"({"x":0,"b":5})");
    for (bool flag : {true, false}) {
        extra_fields_checked set(flag);
        expect_failure([&] { of_yojson<opt::cased>(t); }, "cased_of_yojson: extra fields: x", t);
        EXPECT_EQ(of_yojson<opt::loose>(u), (opt::loose{1, 5}));
    }
}

TEST(derive_options, enumeration_tags_renamed_by_policy_and_per_tag) {
    EXPECT_EQ(write(yojson_of(
                  std::vector{opt::level::low_water, opt::level::high_water, opt::level::flood})),
              R"(["low-water","HIGH","flood"])");
    EXPECT_EQ(of_yojson<opt::level>(Str("HIGH")), opt::level::high_water);
    EXPECT_EQ(of_yojson<opt::level>(List({Str("low-water")})), opt::level::low_water);
    const yojson old_name = Str("high_water");
    expect_failure([&] { of_yojson<opt::level>(old_name); },
                   "level_of_yojson: unexpected variant constructor", old_name);
}

template <class V>
void round_trips(const V& v, std::string_view text) {
    EXPECT_EQ(write(yojson_of(v)), text);
    EXPECT_EQ(static_cast<const typename V::variant&>(of_yojson<V>(read(text))), v);
}

TEST(derive_options, variant_forms_round_trip) {
    EXPECT_EQ(write(yojson_of(opt::ext{opt::circle{1.5}})), R"({"Circle":{"radius":1.5}})");
    EXPECT_EQ(write(yojson_of(opt::ext{opt::blank{}})), R"("Blank")");
    EXPECT_EQ(of_yojson<opt::ext>(read(R"({"N":4})")), opt::ext{std::int64_t{4}});
    EXPECT_EQ(of_yojson<opt::ext>(read(R"("Blank")")), opt::ext{opt::blank{}});
    round_trips(opt::internal{opt::rect{1, 2}}, R"({"type":"rect","w":1.0,"h":2.0})");
    round_trips(opt::internal{opt::blank{}}, R"({"type":"blank"})");
    EXPECT_EQ(of_yojson<opt::internal>(read(R"({"h":2,"type":"rect","w":1})")),
              (opt::internal{opt::rect{1, 2}}));
    round_trips(opt::adjacent{std::string("x")}, R"({"t":"S","c":"x"})");
    round_trips(opt::adjacent{opt::circle{2}}, R"({"t":"C","c":{"radius":2.0}})");
    round_trips(opt::adjacent{opt::blank{}}, R"({"t":"B"})");
    round_trips(opt::loose_shape{opt::circle{2}}, R"({"radius":2.0})");
    round_trips(opt::loose_shape{std::int64_t{3}}, "3");
    round_trips(opt::loose_shape{opt::blank{}}, "null");
    round_trips(opt::loose_shape{opt::rect{1, 2}}, R"({"w":1.0,"h":2.0})");
}

TEST(derive_options, malformed_variants_fail_through_the_sum_reporters) {
    struct {
        std::string text;
        std::string message;
    } const cases[] = {
        {R"({"Square":{}})", "ext_of_yojson: unexpected variant constructor"},
        {R"({"Circle":{},"N":1})", "ext_of_yojson: unexpected variant constructor"},
        {R"("Circle")", "ext_of_yojson: this constructor requires arguments"},
        {R"({"Blank":null})", "ext_of_yojson: this constructor does not take arguments"},
        {R"({"radius":1})", "internal_of_yojson: unexpected variant constructor"},
        {R"({"type":3})", "internal_of_yojson: unexpected variant constructor"},
        {R"([1])", "internal_of_yojson: unexpected variant constructor"},
        {R"({"type":"blank","w":1})",
         "internal_of_yojson: this constructor does not take arguments"},
        {R"({"t":"S"})", "adjacent_of_yojson: this constructor requires arguments"},
        {R"({"t":"B","c":1})", "adjacent_of_yojson: this constructor does not take arguments"},
        {R"({"c":1})", "adjacent_of_yojson: unexpected variant constructor"},
        {R"("x")", "loose_shape_of_yojson: no matching variant found"},
        {R"({"w":1})", "loose_shape_of_yojson: no matching variant found"},
    };
    for (const auto& c : cases) {
        const yojson t = read(c.text);
        auto convert = [&] {
            if (c.message.starts_with("ext")) of_yojson<opt::ext>(t);
            if (c.message.starts_with("internal")) of_yojson<opt::internal>(t);
            if (c.message.starts_with("adjacent")) of_yojson<opt::adjacent>(t);
            if (c.message.starts_with("loose")) of_yojson<opt::loose_shape>(t);
        };
        expect_failure(convert, c.message, t);
    }
    // A record alternative's own failure comes with its own tree; the tag is no unknown key.
    extra_fields_checked on(true);
    const yojson bad = read(R"({"type":"rect","w":1,"h":"x"})");
    expect_failure([&] { of_yojson<opt::internal>(bad); }, "float_of_yojson: float needed",
                   bad.as_assoc()[2].second);
    const yojson extra = read(R"({"type":"rect","w":1,"h":2,"z":0})");
    expect_failure([&] { of_yojson<opt::internal>(extra); }, "rect_of_yojson: extra fields: z",
                   extra);
}

TEST(derive_options, intrusive_records_and_nested_types) {
    const opt::secret s(42);
    const yojson t = yojson_of(s);
    EXPECT_EQ(write(t), R"({"value":42,"in":{"user":""},"m":"on"})");
    EXPECT_EQ(of_yojson<opt::secret>(t), s);
    EXPECT_EQ(of_yojson<opt::secret::mode>(Str("off")), opt::secret::mode::off);
}

TEST(read_as, converts_text_and_locates_failures) {
    const auto d = Sylvane::read_as<opt::doc>(R"({"shapes":[{"radius":1}]})");
    EXPECT_EQ(d.shapes, std::vector<opt::circle>{{1}});
    const std::string text = "{\"shapes\": [\n  {\"radius\": 1},\n  {\"radius\": \"big\"}\n]}";
    try {
        Sylvane::read_as<opt::doc>(text);
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "float_of_yojson: float needed");
        EXPECT_EQ(e.tree(), Str("big"));
        EXPECT_EQ(e.pointer(), "/shapes/1/radius");
        EXPECT_EQ(e.line(), 3u);
        EXPECT_EQ(e.column(), 14u);
        EXPECT_STREQ(e.what(),
                     "Sylvane__Treeform.Of_yojson_error: float_of_yojson: float needed "
                     "(at /shapes/1/radius, line 3, column 14; met \"big\")");
        // Copies keep everything, and the failure is still an Of_yojson_error.
        const Sylvane::located_error copy = e;
        EXPECT_EQ(copy.pointer(), e.pointer());
        const Of_yojson_error& base = copy;
        EXPECT_STREQ(base.what(), e.what());
    }
    // Keys with '/' and '~' are escaped; a failure at the root is at "".
    try {
        Sylvane::read_as<std::vector<opt::odd>>(R"([{"a/~b": "x"}])");
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.pointer(), "/0/a~1~0b");
        EXPECT_EQ(e.column(), 11u);
    }
    // Strings with quotes and brackets, nested values and white space before the place are
    // skipped over; with comments allowed, the reader finds the place.
    const std::string tricky =
        "{\"a\": \"x\\\"]}\", \"b\": [[{\"c\": \"}\"}], 1e3, null],\r\n\t\"shapes\": [true]}";
    for (bool comments : {false, true}) {
        try {
            Sylvane::read_as<opt::doc>(comments ? "/* c */" + tricky : tricky,
                                       {.allow_comments = comments});
            ADD_FAILURE() << "no failure";
        } catch (const Sylvane::located_error& e) {
            EXPECT_EQ(e.pointer(), "/shapes/0");
            EXPECT_EQ(e.line(), 2u);
            EXPECT_EQ(e.column(), 13u);
        }
    }
    try {
        Sylvane::read_as<std::int64_t>(" \"x\"");
        ADD_FAILURE() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.pointer(), "");
        EXPECT_EQ(e.column(), 2u);
    }
    EXPECT_THROW(Sylvane::read_as<opt::doc>("{"), Sylvane::parse_error);
    EXPECT_THROW(Sylvane::read_file_as<opt::doc>("/nonexistent/file.json"), std::system_error);
}

}  // namespace
