#include <sylvane/sylvane.hpp>

#include <gtest/gtest.h>

#include <type_traits>

namespace Treeform = Sylvane::Treeform;
namespace Standard_types = Sylvane::Treeform::Standard_types;
using Sylvane::yojson;

// Standard_types holds the very objects of Treeform, not wrappers.
#define SAME_OBJECT(name) static_assert(&Standard_types::name == &Treeform::name);
SAME_OBJECT(yojson_of_unit)
SAME_OBJECT(yojson_of_bool)
SAME_OBJECT(yojson_of_string)
SAME_OBJECT(yojson_of_bytes)
SAME_OBJECT(yojson_of_char)
SAME_OBJECT(yojson_of_int)
SAME_OBJECT(yojson_of_float)
SAME_OBJECT(yojson_of_int32)
SAME_OBJECT(yojson_of_int64)
SAME_OBJECT(yojson_of_nativeint)
SAME_OBJECT(yojson_of_ref)
SAME_OBJECT(yojson_of_lazy_t)
SAME_OBJECT(yojson_of_option)
SAME_OBJECT(yojson_of_list)
SAME_OBJECT(yojson_of_array)
SAME_OBJECT(yojson_of_hashtbl)
SAME_OBJECT(unit_of_yojson)
SAME_OBJECT(bool_of_yojson)
SAME_OBJECT(string_of_yojson)
SAME_OBJECT(bytes_of_yojson)
SAME_OBJECT(char_of_yojson)
SAME_OBJECT(int_of_yojson)
SAME_OBJECT(float_of_yojson)
SAME_OBJECT(int32_of_yojson)
SAME_OBJECT(int64_of_yojson)
SAME_OBJECT(nativeint_of_yojson)
SAME_OBJECT(ref_of_yojson)
SAME_OBJECT(lazy_t_of_yojson)
SAME_OBJECT(option_of_yojson)
SAME_OBJECT(list_of_yojson)
SAME_OBJECT(array_of_yojson)
SAME_OBJECT(hashtbl_of_yojson)
#undef SAME_OBJECT

// Absent members. Qualified lookup into `probe` sees both nominated namespaces: a name that
// Standard_types lacks resolves to the fallback, one it has would be ambiguous and not compile.
namespace fallback {
struct absent {};
inline constexpr absent yojson_of_pair{}, pair_of_yojson{}, yojson_of_triple{}, triple_of_yojson{},
    yojson_of_opaque{}, opaque_of_yojson{}, yojson_of_fun{}, fun_of_yojson{}, of_yojson_error{},
    of_yojson_error_exn{}, record_check_extra_fields{}, Of_yojson_error{};
}  // namespace fallback
namespace probe {
using namespace fallback;
using namespace Sylvane::Treeform::Standard_types;
}  // namespace probe
#define ABSENT(name) \
    static_assert(std::is_same_v<decltype(probe::name), const fallback::absent>, #name);
ABSENT(yojson_of_pair)
ABSENT(pair_of_yojson)
ABSENT(yojson_of_triple)
ABSENT(triple_of_yojson)
ABSENT(yojson_of_opaque)
ABSENT(opaque_of_yojson)
ABSENT(yojson_of_fun)
ABSENT(fun_of_yojson)
ABSENT(of_yojson_error)
ABSENT(of_yojson_error_exn)
ABSENT(record_check_extra_fields)
ABSENT(Of_yojson_error)
#undef ABSENT

// The top namespace re-exports the tree.
static_assert(std::is_same_v<Sylvane::yojson, Sylvane::json_tree::yojson>);
static_assert(std::is_same_v<Sylvane::yojson_kind, Sylvane::json_tree::yojson_kind>);

TEST(standard_types, behaves_as_treeform_messages_included) {
    const yojson s = yojson::String("a");
    std::string via_standard, via_treeform;
    try {
        Standard_types::int_of_yojson(s);
    } catch (const Treeform::Of_yojson_error& e) {
        via_standard = e.message();
    }
    try {
        Treeform::int_of_yojson(s);
    } catch (const Treeform::Of_yojson_error& e) {
        via_treeform = e.message();
    }
    EXPECT_EQ(via_standard, "int_of_yojson: integer needed");
    EXPECT_EQ(via_standard, via_treeform);
    auto list = Standard_types::list_of_yojson(Standard_types::int_of_yojson);
    EXPECT_EQ(list(Standard_types::yojson_of_list(Standard_types::yojson_of_int,
                                                  std::vector<std::int64_t>{1, 2})),
              (std::vector<std::int64_t>{1, 2}));
}

TEST(top_namespace, dereference_reads_the_flag_at_that_moment) {
    EXPECT_TRUE(*Treeform::record_check_extra_fields);
    *Treeform::record_check_extra_fields = false;
    EXPECT_FALSE(*Treeform::record_check_extra_fields);
    *Treeform::record_check_extra_fields = true;
    Sylvane::ref<int> cell{1};
    *cell = 5;
    EXPECT_EQ(*cell, 5);
    EXPECT_EQ(cell.get(), 5);
}
