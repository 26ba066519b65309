# Checks that the lower layers never include a higher one: headers and sources of the base types
# include only base types, and those of the tree only base types and the tree.
# Variables: ROOT (the source tree).
set(failures "")
function(check_layer folder allowed)
  file(GLOB_RECURSE files ${ROOT}/include/sylvane/${folder}/*.hpp ${ROOT}/src/${folder}/*.hpp
                          ${ROOT}/src/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include <sylvane/")
    foreach(line IN LISTS includes)
      if(NOT line MATCHES "^#include <sylvane/(${allowed})/")
        string(REPLACE "${ROOT}/" "" short ${file})
        set(failures "${failures}\n  ${short}: ${line}")
      endif()
    endforeach()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
check_layer(base "base")
check_layer(json_tree "base|json_tree")
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "a lower layer includes a higher one:${failures}")
endif()
message(STATUS "layers ok")
