// Records: the object encoding, and every record failure reached through derived converters.

#include "derive_support.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rec {
struct point {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const point&) const = default;
};
SYLVANE_RECORD(point, x, y)

struct person {
    std::string name;
    std::optional<std::int64_t> age;
    std::vector<std::string> tags;
    bool operator==(const person&) const = default;
};
SYLVANE_RECORD(person, name, age, tags)

struct segment {
    point from;
    point to;
};
SYLVANE_RECORD(segment, from, to)

struct nothing {};
SYLVANE_RECORD(nothing)

struct defaulted {
    std::optional<std::int64_t> n = 5;
};
SYLVANE_RECORD(defaulted, n)
}  // namespace rec

namespace {

using namespace derive_test;
using Sylvane::of_yojson;
using Sylvane::yojson_of;

TEST(derive_record, writes_fields_in_declaration_order) {
    EXPECT_EQ(rec::yojson_of_point({1, 2}), Obj({{"x", Int(1)}, {"y", Int(2)}}));
    EXPECT_EQ(yojson_of(rec::person{"ann", std::nullopt, {"a"}}),
              Obj({{"name", Str("ann")}, {"age", yojson::Null()}, {"tags", List({Str("a")})}}));
    EXPECT_EQ(yojson_of(rec::nothing{}), Obj({}));
}

TEST(derive_record, reads_fields_in_any_order) {
    EXPECT_EQ(rec::point_of_yojson(Obj({{"y", Int(2)}, {"x", Int(1)}})), (rec::point{1, 2}));
    const rec::person p{"bo", 41, {"x", "y"}};
    EXPECT_EQ(of_yojson<rec::person>(yojson_of(p)), p);
}

TEST(derive_record, objects_with_sorted_keys_read_as_the_walk_by_keys_reads_them) {
    // Sorted keys have a read of their own, tried first while they come: the same values and
    // failures as the walk over the keys, whatever order the objects before had.
    using convert = Sylvane::derive::detail::of_converter_t<rec::person>;
    const auto outcome = [](auto read) -> std::string {
        try {
            return Sylvane::write(yojson_of(read()));
        } catch (const Of_yojson_error& e) {
            return std::string(e.message()) + " at " +
                   std::to_string(reinterpret_cast<std::uintptr_t>(e.tree_address()));
        }
    };
    const yojson tags = List({Str("a")});
    const std::vector<yojson> objects = {
        Obj({{"age", Int(3)}, {"name", Str("s")}, {"tags", tags}}),  // sorted
        Obj({{"name", Str("d")}, {"age", Int(4)}, {"tags", tags}}),  // declared
        Obj({{"age", Int(5)}, {"name", Str("s")}, {"tags", tags}}),
        Obj({{"tags", tags}, {"age", Int(6)}, {"name", Str("o")}}),  // neither
        Obj({{"age", Str("x")}, {"name", Int(1)}, {"tags", tags}}),  // the first fails first
        Obj({{"age", yojson::Null()}, {"name", Str("n")}, {"tags", List({Int(1)})}}),
        Obj({{"age", Int(7)}, {"name", Str("m")}}),                      // missing
        Obj({{"age", Int(8)}, {"name", Str("a")}, {"name", Str("b")}}),  // duplicate
        Obj({{"age", Int(9)}, {"name", Str("u")}, {"tags", tags}, {"zz", Int(0)}}),
        Obj({{"age", Int(10)}, {"name", Str("s")}, {"tags", tags}}),
    };
    for (int round = 0; round < 2; ++round) {
        for (const yojson& o : objects) {
            EXPECT_EQ(outcome([&] { return of_yojson<rec::person>(o); }),
                      outcome([&] { return convert::read_by_table(o, {}); }))
                << o;
        }
    }
    EXPECT_EQ(of_yojson<rec::person>(objects[0]), (rec::person{"s", 3, {"a"}}));
}

TEST(derive_record, optional_fields_absent_or_null_read_as_empty) {
    const auto p = of_yojson<rec::person>(Obj({{"tags", List({})}, {"name", Str("c")}}));
    EXPECT_EQ(p.age, std::nullopt);
    EXPECT_EQ(of_yojson<rec::person>(
                  Obj({{"name", Str("c")}, {"age", yojson::Null()}, {"tags", List({})}}))
                  .age,
              std::nullopt);
    // An absent optional is empty even when the member's initialiser says otherwise.
    EXPECT_EQ(of_yojson<rec::defaulted>(Obj({})).n, std::nullopt);
    EXPECT_EQ(of_yojson<rec::defaulted>(Obj({{"n", Int(7)}})).n, 7);
}

TEST(derive_record, atom_or_list_instead_of_object) {
    for (const yojson& t : {List({Int(1), Int(2)}), yojson::Null(), Int(3), Str("x")}) {
        expect_failure([&] { rec::point_of_yojson(t); },
                       "point_of_yojson: list instead of atom for record expected", t);
    }
}

TEST(derive_record, field_failure_passes_through_with_the_field_tree) {
    const yojson t = Obj({{"x", Int(1)}, {"y", Str("2")}});
    expect_failure([&] { rec::point_of_yojson(t); }, "int_of_yojson: integer needed",
                   t.as_assoc()[1].second);
    // Field values are converted as they are met, before any duplicate is reported.
    const yojson dup = Obj({{"x", Int(1)}, {"x", Int(1)}, {"y", yojson::Null()}});
    expect_failure([&] { rec::point_of_yojson(dup); }, "int_of_yojson: integer needed",
                   dup.as_assoc()[2].second);
    // A nested record reports its own failure with its own tree.
    const yojson seg =
        Obj({{"from", Obj({{"x", Int(1)}, {"y", Int(2)}})}, {"to", Obj({{"x", Int(1)}})}});
    expect_failure([&] { rec::segment_of_yojson(seg); },
                   "point_of_yojson: the following record elements were undefined: y",
                   seg.as_assoc()[1].second);
}

TEST(derive_record, duplicate_fields) {
    const yojson t =
        Obj({{"x", Int(1)}, {"y", Int(2)}, {"x", Int(3)}, {"y", Int(4)}, {"x", Int(5)}});
    expect_failure([&] { rec::point_of_yojson(t); }, "point_of_yojson: duplicate fields: x y x", t);
    // A repeated field's value is not converted: the duplicate is the failure.
    const yojson bad_repeat = Obj({{"x", Int(1)}, {"y", Int(2)}, {"x", Str("bad")}});
    expect_failure([&] { rec::point_of_yojson(bad_repeat); },
                   "point_of_yojson: duplicate fields: x", bad_repeat);
}

TEST(derive_record, extra_fields_reported_while_the_flag_holds) {
    const yojson t =
        Obj({{"x", Int(1)}, {"z", Int(0)}, {"y", Int(2)}, {"xx", Int(0)}, {"z", Int(0)}});
    {
        extra_fields_checked on(true);
        expect_failure([&] { rec::point_of_yojson(t); }, "point_of_yojson: extra fields: z xx z",
                       t);
        expect_failure([&] { rec::nothing_of_yojson(t); },
                       "nothing_of_yojson: extra fields: x z y xx z", t);
    }
    extra_fields_checked off(false);
    EXPECT_EQ(rec::point_of_yojson(t), (rec::point{1, 2}));
    rec::nothing_of_yojson(t);
}

TEST(derive_record, undefined_fields_flag_every_field_in_declaration_order) {
    const yojson empty = Obj({});
    expect_failure([&] { rec::point_of_yojson(empty); },
                   "point_of_yojson: the following record elements were undefined: x y", empty);
    const yojson only_age = Obj({{"age", Int(3)}});
    expect_failure([&] { rec::person_of_yojson(only_age); },
                   "person_of_yojson: the following record elements were undefined: name tags",
                   only_age);
}

TEST(derive_record, reports_come_in_a_fixed_order) {
    extra_fields_checked on(true);
    // Duplicates before extras before undefined fields.
    const yojson all = Obj({{"x", Int(1)}, {"q", Int(1)}, {"x", Int(1)}});
    expect_failure([&] { rec::point_of_yojson(all); }, "point_of_yojson: duplicate fields: x", all);
    const yojson extra_and_missing = Obj({{"q", Int(1)}});
    expect_failure([&] { rec::point_of_yojson(extra_and_missing); },
                   "point_of_yojson: extra fields: q", extra_and_missing);
    extra_fields_checked off(false);
    expect_failure([&] { rec::point_of_yojson(extra_and_missing); },
                   "point_of_yojson: the following record elements were undefined: x y",
                   extra_and_missing);
}

}  // namespace
