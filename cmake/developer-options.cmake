# Warnings for the project's own targets, on a private interface target so that consumers of
# the library never inherit them.
add_library(sylvane_developer_options INTERFACE)
target_compile_options(sylvane_developer_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  -Wconversion -Wold-style-cast -Wcast-qual -Wundef)
if(SYLVANE_WERROR)
  target_compile_options(sylvane_developer_options INTERFACE -Werror)
endif()
