# GoogleTest for a cross build: Debian's libraries are for the build machine,
# so the sources Debian ships (package googletest) are built here with the
# target's compiler. Provides GTest::gtest, GTest::gtest_main and GTest::gmock
# as find_package(GTest) does.
set(QOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
if(NOT EXISTS ${QOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${QOR_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Windows' own locks instead of pthreads emulated on top of them.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${QOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
