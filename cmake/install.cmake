# Installation and the exported CMake package: `find_package(Sylvane CONFIG REQUIRED)` then
# `target_link_libraries(app PRIVATE Sylvane::sylvane)`; also a pkg-config file `sylvane.pc`.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Every header is below `sylvane/`, so the include folder itself is the one users put on their
# path: `#include <sylvane/sylvane.hpp>`. Only `include/` is installed; the private headers of
# the `.cpp` files stay in `src/`.
set(SYLVANE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
set(SYLVANE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Sylvane)

target_include_directories(sylvane PUBLIC $<INSTALL_INTERFACE:${SYLVANE_INSTALL_INCLUDEDIR}>)
set_target_properties(sylvane PROPERTIES EXPORT_NAME sylvane)

install(TARGETS sylvane EXPORT SylvaneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/sylvane
  DESTINATION ${SYLVANE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")
install(EXPORT SylvaneTargets NAMESPACE Sylvane:: DESTINATION ${SYLVANE_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/SylvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/SylvaneConfig.cmake
  INSTALL_DESTINATION ${SYLVANE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/SylvaneConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/SylvaneConfig.cmake
              ${PROJECT_BINARY_DIR}/SylvaneConfigVersion.cmake
  DESTINATION ${SYLVANE_INSTALL_CMAKEDIR})

# The pkg-config file finds the prefix from its own location (`${pcfiledir}` is the folder that
# holds it), so it stays right when the prefix is given at install time (`cmake --install build
# --prefix /opt/sylvane`) or the installed tree is moved. A folder given as an absolute path is
# written as it is; with an absolute library folder the prefix cannot be found from there, and
# the configured prefix is written.
set(pc_prefix "\${pcfiledir}")
set(pc_libdir ${CMAKE_INSTALL_LIBDIR})
if(IS_ABSOLUTE ${pc_libdir})
  set(pc_prefix ${CMAKE_INSTALL_PREFIX})
else()
  cmake_path(APPEND pc_libdir pkgconfig OUTPUT_VARIABLE pc_folder)
  cmake_path(NORMAL_PATH pc_folder)
  string(REGEX REPLACE "[^/]+" ".." pc_up ${pc_folder})
  string(APPEND pc_prefix "/${pc_up}")
  set(pc_libdir "\${prefix}/${pc_libdir}")
endif()
set(pc_includedir ${SYLVANE_INSTALL_INCLUDEDIR})
if(NOT IS_ABSOLUTE ${pc_includedir})
  set(pc_includedir "\${prefix}/${pc_includedir}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/sylvane.pc.in ${PROJECT_BINARY_DIR}/sylvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sylvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
