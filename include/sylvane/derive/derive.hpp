#pragma once
/// Derived converters for user types: the type-to-converter mapping, the macros
/// `SYLVANE_RECORD`, `SYLVANE_ENUM`, `SYLVANE_VARIANT`, `SYLVANE_CONVERTERS`, and `locate`.

#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/converter.hpp>
#include <sylvane/derive/hook.hpp>
#include <sylvane/derive/macros.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/may_be_absent.hpp>
#include <sylvane/derive/nullable_field.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/locate.hpp>
#include <sylvane/yojsonable_intf.hpp>
