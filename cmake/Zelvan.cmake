# The standard library headers that most source files start with, parsed once for every library
# instead of in each file (about half of a game source file's parse time). SDL's compile flags
# define _REENTRANT in the libraries that use it; glibc ignores it under g++'s _GNU_SOURCE, but a
# precompiled header must agree on it, so every library defines it. C files go without.
function(zelvan_source_pch target)
  if(NOT TARGET zelvan_std_pch)
    add_library(zelvan_std_pch OBJECT ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Precompiled.cpp)
    target_compile_definitions(zelvan_std_pch PRIVATE _REENTRANT)
    target_precompile_headers(zelvan_std_pch PRIVATE <algorithm> <cmath> <cstdint> <cstdio> <cstdlib>
      <cstring> <functional> <map> <memory> <string> <unordered_map> <vector>)
  endif()
  target_compile_definitions(${target} PRIVATE _REENTRANT)
  target_precompile_headers(${target} REUSE_FROM zelvan_std_pch)
  get_target_property(_srcs ${target} SOURCES)
  foreach(_s ${_srcs})
    if(_s MATCHES "\\.c$")
      set_source_files_properties(${_s} TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
  endforeach()
endfunction()

# zelvan_library(NAME DIR [DEPS ...]): one static library from every .cpp/.c in DIR (not recursive).
# A folder with no sources yet gives an interface library, so dependents link either way.
function(zelvan_library name dir)
  cmake_parse_arguments(ZL "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${ZELVAN_SOURCE_ROOT})
    zelvan_source_pch(${name})
    if(ZL_DEPS)
      target_link_libraries(${name} PUBLIC ${ZL_DEPS})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ZELVAN_SOURCE_ROOT})
    if(ZL_DEPS)
      target_link_libraries(${name} INTERFACE ${ZL_DEPS})
    endif()
  endif()
endfunction()

# Sanitizer builds check the libraries under test. The tests' own code (GoogleTest's macros, at
# -O0) is compiled without instrumentation, which takes about a third off its compile time; the
# sanitizer runtimes are still linked into every test program, so every call into the libraries,
# every allocation and every leak is checked.
function(zelvan_test_code target)
  if(SANITIZE)
    target_compile_options(${target} PRIVATE -fno-sanitize=all)
  endif()
endfunction()

# zelvan_suite_tests(EXE [COST N] SOURCES...): one CTest entry per test suite of EXE, read from its
# sources (COST orders them for CTest), and one for any case those filters miss (a suite the
# pattern below does not see). A sanitized program is slow to start (shadow memory, the leak check
# at exit), so a process per case would spend most of the sanitizer run starting programs; the
# normal build keeps one entry per case.
function(zelvan_suite_tests exe)
  cmake_parse_arguments(ZS "" "COST" "" ${ARGN})
  set(_suites)
  foreach(_src ${ZS_UNPARSED_ARGUMENTS})
    file(STRINGS ${_src} _lines REGEX "^[ \t]*(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\\([ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*,")
    foreach(_l ${_lines})
      string(REGEX REPLACE "^[ \t]*[A-Z_]+\\([ \t]*([A-Za-z_][A-Za-z0-9_]*).*$" "\\1" _s "${_l}")
      list(APPEND _suites ${_s})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES _suites)
  set(_covered)
  foreach(_s ${_suites})
    set(_filter "${_s}.*:*/${_s}.*:${_s}/*")
    add_test(NAME ${exe}:${_s} COMMAND ${exe} --gtest_filter=${_filter})
    set_tests_properties(${exe}:${_s} PROPERTIES ENVIRONMENT "ZELVAN_CONTENT_DIR=${ZELVAN_CONTENT_DIR}")
    if(ZS_COST)
      set_tests_properties(${exe}:${_s} PROPERTIES COST ${ZS_COST})
    endif()
    list(APPEND _covered ${_filter})
  endforeach()
  string(REPLACE ";" ":" _covered "${_covered}")
  add_test(NAME ${exe}:others COMMAND ${exe} --gtest_filter=-${_covered})
  set_tests_properties(${exe}:others PROPERTIES ENVIRONMENT "ZELVAN_CONTENT_DIR=${ZELVAN_CONTENT_DIR}")
endfunction()

# zelvan_tests(DIR LIBS... [ALONE name...] [SLOW name...]): every test_*.cpp in DIR goes into one
# GoogleTest executable of the area, <dir>_tests, with the area's support_*.cpp compiled once; CTest still
# lists and runs each case on its own (gtest_discover_tests). A file named after ALONE (without
# test_ and .cpp) becomes its own executable <dir>_test_<name>, for tests that need link options or
# a build of their own. One executable an area keeps CI's links and test discovery few. The test
# code itself is compiled without optimisation (the libraries it tests keep theirs): gtest's
# macros make optimising it the slowest part of the build, and it gains nothing from it. The
# tests of a SLOW executable (an ALONE name) run for minutes: CTest starts them before the others,
# as a fresh build folder has no timings of earlier runs to order by.
function(zelvan_tests dir)
  cmake_parse_arguments(ZT "" "" "ALONE;SLOW" ${ARGN})
  set(_libs ${ZT_UNPARSED_ARGUMENTS})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/test_*.cpp)
  file(GLOB _support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/support_*.cpp)
  set(_area)
  set(_exes)
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    string(REGEX REPLACE "^test_" "" _short ${_n})
    if(_short IN_LIST ZT_ALONE)
      add_executable(${dir}_${_n} ${_t})
      list(APPEND _exes ${dir}_${_n})
    else()
      list(APPEND _area ${_t})
    endif()
  endforeach()
  if(_area)
    add_executable(${dir}_tests ${_area})
    list(APPEND _exes ${dir}_tests)
  endif()
  if(_support AND _exes)
    add_library(${dir}_test_helpers OBJECT ${_support})
    target_compile_options(${dir}_test_helpers PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
    target_link_libraries(${dir}_test_helpers PUBLIC ${_libs} zelvan_test_support GTest::gtest GTest::gmock)
    zelvan_test_code(${dir}_test_helpers)
    target_precompile_headers(${dir}_test_helpers REUSE_FROM zelvan_test_pch)
  endif()
  foreach(_exe ${_exes})
    if(TARGET ${dir}_test_helpers)
      target_sources(${_exe} PRIVATE $<TARGET_OBJECTS:${dir}_test_helpers>)
    endif()
    target_compile_options(${_exe} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
    target_link_libraries(${_exe} PRIVATE ${_libs} zelvan_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    zelvan_test_code(${_exe})
    target_precompile_headers(${_exe} REUSE_FROM zelvan_test_pch)
    if(SANITIZE)
      zelvan_sanitize_test(${_exe})
    endif()
    # Discovered tests take one environment entry only (a list reaches them cut after its first
    # item); the null audio back end and the leak suppressions are set by the test programs
    # themselves (tests/support).
    set(_cost 0)
    string(REGEX REPLACE "^${dir}_test_" "" _short ${_exe})
    if(NOT _exe STREQUAL ${dir}_tests AND _short IN_LIST ZT_SLOW)
      set(_cost 1000)
    endif()
    if(SANITIZE)
      if(_exe STREQUAL ${dir}_tests)
        zelvan_suite_tests(${_exe} COST ${_cost} ${_area})
      else()
        zelvan_suite_tests(${_exe} COST ${_cost} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/test_${_short}.cpp)
      endif()
    else()
      gtest_discover_tests(${_exe}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES ENVIRONMENT "ZELVAN_CONTENT_DIR=${ZELVAN_CONTENT_DIR}" COST ${_cost}
        DISCOVERY_TIMEOUT 60)
    endif()
  endforeach()
endfunction()

# Sanitizer builds: the options every test runs with (leak suppressions for Mesa's driver), and
# a test program that keeps every loaded module mapped until the leak check (see
# tests/support/KeepModulesLoaded.cpp).
set(ZELVAN_LSAN_OPTIONS "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/../tests/lsan-mesa.supp:print_suppressions=0")
function(zelvan_sanitize_test target)
  # Compiled once for every test program that needs it.
  if(NOT TARGET zelvan_keep_modules_loaded)
    add_library(zelvan_keep_modules_loaded OBJECT
      ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tests/support/KeepModulesLoaded.cpp)
    target_compile_definitions(zelvan_keep_modules_loaded PRIVATE
      ZELVAN_LSAN_SUPPRESSIONS="${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tests/lsan-mesa.supp")
  endif()
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:zelvan_keep_modules_loaded>)
  # Exported, so the libraries that call dlclose bind to it rather than to the C library's.
  target_link_options(${target} PRIVATE -Wl,--export-dynamic-symbol=dlclose)
endfunction()
