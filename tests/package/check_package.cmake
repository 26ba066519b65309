# Builds and installs Sylvane into a fresh prefix, then builds and runs the consumer project
# against the installed package. Variables: SOURCE, WORK, SHARED (ON/OFF), CXX, GENERATOR.
# check_pkg_config.cmake uses the installation it leaves in WORK/prefix.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

file(REMOVE_RECURSE ${WORK})
# Configured as the README says, with no build type, then installed with the prefix given at
# install time: the one given when configuring must not be used.
set(prefix ${WORK}/prefix)
set(configured_prefix ${WORK}/configured-prefix)
run(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/library -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DBUILD_SHARED_LIBS=${SHARED}
    -DSYLVANE_BUILD_TESTS=OFF -DSYLVANE_BUILD_EXAMPLES=OFF -DSYLVANE_BUILD_TOOLS=OFF
    -DCMAKE_INSTALL_PREFIX=${configured_prefix})
file(STRINGS ${WORK}/library/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
if(NOT build_type MATCHES "=Release$")
  message(FATAL_ERROR "configured without a build type, the library is not Release: ${build_type}")
endif()
run(${CMAKE_COMMAND} --build ${WORK}/library)
run(${CMAKE_COMMAND} --install ${WORK}/library --prefix ${prefix})
if(EXISTS ${configured_prefix})
  message(FATAL_ERROR "installed into the prefix given when configuring: ${configured_prefix}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE}/tests/package/consumer -B ${WORK}/consumer -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
run(${WORK}/consumer/consumer)
if(NOT last_output STREQUAL "consumer ok\n")
  message(FATAL_ERROR "consumer printed: ${last_output}")
endif()

if(SHARED)
  # The shared library exports the library's API and nothing else: every exported symbol of its
  # own is in namespace Sylvane (the standard library's template instances are exported by
  # the standard library's own visibility rules).
  file(GLOB libraries ${prefix}/lib*/libsylvane.so)
  run(nm -DC --defined-only ${libraries})
  string(REPLACE "\n" ";" symbols "${last_output}")
  foreach(line IN LISTS symbols)
    if(line STREQUAL "" OR line MATCHES "Sylvane::|std::|__gnu_cxx::|^[0-9a-f]+ [A-Za-z] _(init|fini)$")
      continue()
    endif()
    message(FATAL_ERROR "exported by the shared library but not its API: ${line}")
  endforeach()
endif()
message(STATUS "package ok (shared: ${SHARED})")
