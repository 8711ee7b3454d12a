# Debian ships GoogleTest as source (/usr/src/googletest) but builds it only for the host.
# A cross build compiles that source with its own compiler, as part of this build; its
# targets carry the names find_package(GTest) would give (GTest::gtest, GTest::gmock, ...).
set(FUMILINK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree for cross builds")
if(NOT EXISTS ${FUMILINK_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${FUMILINK_GTEST_SOURCE_DIR} (Debian: googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${FUMILINK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
