# GoogleTest in both builds, and one ctest entry per test executable. Each executable writes
# its gtest XML report to build/<preset>/test-results, which scripts/test sums into one line.
enable_testing()

if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

set(SNV_TEST_RESULTS "${CMAKE_BINARY_DIR}/test-results")
set(SNV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
# The runs under other zones get a prefix of their own: the first Wine process of a prefix starts
# its services.exe with its own environment, TZ included, and the installed service under test
# would then keep another zone than the test that checks its times.
set(SNV_ZONES_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix-zones")
include(${CMAKE_CURRENT_LIST_DIR}/test_timeouts.cmake)

if(WIN32)
  # A prefix made once by the ctest entry `name`, the setup of `fixture`, before any test that
  # requires it, so parallel tests do not race to create it. The first boot of a prefix goes on
  # starting services after wineboot returns, and a service started meanwhile fails: the entry
  # waits until that Wine has ended.
  function(snv_wine_prefix_fixture name fixture prefix labels)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${prefix} WINEDEBUG=-all
             sh -c "${SNV_WINE} wineboot --init && wineserver -w")
    set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${fixture} LABELS "${labels}"
                         TIMEOUT ${SNV_TEST_TIMEOUT})
  endfunction()
  snv_wine_prefix_fixture(wine_prefix wine ${SNV_WINEPREFIX} "fast;interop")
  snv_wine_prefix_fixture(wine_zones_prefix wine_zones ${SNV_ZONES_WINEPREFIX} fast)
endif()

# snv_add_gtest(NAME [INTEROP] SOURCES... LIBS ...): the executable and its ctest entries. Test
# suites whose names hold "Oracle" run the redb interop tool or read the files it wrote: with
# INTEROP and SNV_INTEROP_TESTS they form NAME_interop, labelled interop; the rest form NAME,
# labelled fast, so that `ctest -L fast` runs in seconds.
function(snv_add_gtest name)
  cmake_parse_arguments(T "INTEROP" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    SNV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SNV_BINARY_DIR="${CMAKE_BINARY_DIR}"
    SNV_ORACLE="${SNV_ORACLE}")
  set(parts fast)
  if(T_INTEROP AND SNV_INTEROP_TESTS)
    list(APPEND parts interop)
  endif()
  foreach(part ${parts})
    if(part STREQUAL fast)
      set(test ${name})
      set(filter "-*Oracle*")
      set(timeout ${SNV_TEST_TIMEOUT})
    else()
      set(test ${name}_interop)
      set(filter "*Oracle*")
      set(timeout ${SNV_INTEROP_TEST_TIMEOUT})
    endif()
    # Under Wine a Unix path must be given with its drive, Z:, to stay absolute.
    set(report "${SNV_TEST_RESULTS}/${test}.xml")
    if(WIN32)
      set(report "Z:${report}")
    endif()
    add_test(NAME ${test} COMMAND ${name} --gtest_filter=${filter} --gtest_output=xml:${report})
    set_tests_properties(${test} PROPERTIES LABELS ${part} TIMEOUT ${timeout})
    if(WIN32)
      set_tests_properties(${test} PROPERTIES
        ENVIRONMENT "WINEPREFIX=${SNV_WINEPREFIX};WINEDEBUG=-all"
        FIXTURES_REQUIRED wine)
    endif()
  endforeach()
endfunction()
