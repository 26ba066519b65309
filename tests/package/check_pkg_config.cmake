# Compiles the consumer program against the installation that check_package.cmake left in
# WORK/prefix with nothing but `pkg-config --cflags --libs sylvane`, then runs it. The prefix was
# given at install time, so the pkg-config file must find it from where it lies.
# Variables: SOURCE, WORK, SHARED (ON/OFF), CXX, PKG_CONFIG.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

set(prefix ${WORK}/prefix)
file(GLOB pc_files ${prefix}/lib*/pkgconfig/sylvane.pc ${prefix}/lib/*/pkgconfig/sylvane.pc)
if(NOT pc_files)
  message(FATAL_ERROR "no sylvane.pc below ${prefix}")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)

# Only this installation is visible to pkg-config.
set(ENV{PKG_CONFIG_LIBDIR} ${pc_dir})
unset(ENV{PKG_CONFIG_PATH})
run(${PKG_CONFIG} --cflags --libs sylvane)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${PKG_CONFIG} --variable=libdir sylvane)
string(STRIP "${last_output}" libdir)
if(NOT IS_DIRECTORY ${libdir})
  message(FATAL_ERROR "sylvane.pc names a library folder that does not exist: ${libdir}")
endif()

set(program ${WORK}/pkg-config-consumer)
run(${CXX} ${SOURCE}/tests/package/consumer/consumer.cpp -o ${program} ${flags})
if(SHARED)
  set(ENV{LD_LIBRARY_PATH} ${libdir})
endif()
run(${program})
if(NOT last_output STREQUAL "consumer ok\n")
  message(FATAL_ERROR "the consumer built with pkg-config printed: ${last_output}")
endif()
message(STATUS "pkg-config ok (shared: ${SHARED}): ${flags}")
