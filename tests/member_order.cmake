# Checks that the units declare their members in the documented order: the preprocessed
# headers must name each member for the first time in that order.
# Variables: CXX, SOURCE_DIR (the include root), WORK.
set(treeform_members
  yojson_of_unit yojson_of_bool yojson_of_string yojson_of_bytes yojson_of_char yojson_of_int
  yojson_of_float yojson_of_int32 yojson_of_int64 yojson_of_nativeint
  yojson_of_ref yojson_of_lazy_t yojson_of_option yojson_of_pair yojson_of_triple
  yojson_of_list yojson_of_array yojson_of_hashtbl yojson_of_opaque yojson_of_fun
  Of_yojson_error record_check_extra_fields of_yojson_error of_yojson_error_exn
  unit_of_yojson bool_of_yojson string_of_yojson bytes_of_yojson char_of_yojson int_of_yojson
  float_of_yojson int32_of_yojson int64_of_yojson nativeint_of_yojson
  ref_of_yojson lazy_t_of_yojson option_of_yojson pair_of_yojson triple_of_yojson
  list_of_yojson array_of_yojson hashtbl_of_yojson opaque_of_yojson fun_of_yojson
  Standard_types)
set(treeform_error_members
  tuple_of_size_n_expected stag_no_args stag_incorrect_n_args stag_takes_args
  nested_list_invalid_sum empty_list_invalid_sum unexpected_stag
  record_superfluous_fields record_duplicate_fields record_extra_fields
  record_get_undefined_loop record_undefined_elements record_list_instead_atom
  record_poly_field_value No_variant_match no_variant_match no_matching_variant_found
  ptag_no_args ptag_incorrect_n_args ptag_takes_args nested_list_invalid_poly_var
  empty_list_invalid_poly_var empty_type)

function(check_order header)
  file(WRITE ${WORK}/order_${header}.cpp "#include <sylvane/${header}.hpp>\n")
  execute_process(COMMAND ${CXX} -std=c++20 -E -P -I${SOURCE_DIR} ${WORK}/order_${header}.cpp
                  OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot preprocess sylvane/${header}.hpp")
  endif()
  set(previous -1)
  set(previous_name "(start)")
  foreach(name IN LISTS ARGN)
    string(REGEX MATCH "[^A-Za-z0-9_]${name}[^A-Za-z0-9_].*" rest "${text}")
    if(rest STREQUAL "")
      message(FATAL_ERROR "${header}: ${name} is not declared")
    endif()
    string(LENGTH "${text}" total)
    string(LENGTH "${rest}" tail)
    math(EXPR position "${total} - ${tail}")
    if(position LESS_EQUAL previous)
      message(FATAL_ERROR "${header}: ${name} is declared before ${previous_name}")
    endif()
    set(previous ${position})
    set(previous_name ${name})
  endforeach()
endfunction()

file(MAKE_DIRECTORY ${WORK})
check_order(treeform ${treeform_members})
check_order(treeform_error ${treeform_error_members})
message(STATUS "member order ok")
