#include "static_init.hpp"

#include <gtest/gtest.h>

using namespace Sylvane::Treeform;

TEST(initialisation, constants_are_set_before_any_static_initialiser_runs) {
    EXPECT_TRUE(static_init::flag_at_start);
    EXPECT_EQ(static_init::opaque_at_start.as_string(), "<opaque>");
    EXPECT_EQ(static_init::fun_at_start.as_string(), "<fun>");
    EXPECT_TRUE(static_init::unit_at_start.is_null());
    // The very same constant trees as later calls return.
    EXPECT_EQ(static_init::opaque_at_start.as_string().data(),
              yojson_of_opaque(1).as_string().data());
    EXPECT_EQ(static_init::fun_at_start.as_string().data(), yojson_of_fun(1).as_string().data());
}
