# zelvan_library(NAME DIR [DEPS ...]): one static library from every .cpp/.c in DIR (not recursive).
# A folder with no sources yet gives an interface library, so dependents link either way.
function(zelvan_library name dir)
  cmake_parse_arguments(ZL "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${ZELVAN_SOURCE_ROOT})
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

# zelvan_tests(DIR LIBS... [ALONE name...]): every test_*.cpp in DIR goes into one GoogleTest
# executable of the area, <dir>_tests, with the area's support_*.cpp compiled once; CTest still
# lists and runs each case on its own (gtest_discover_tests). A file named after ALONE (without
# test_ and .cpp) becomes its own executable <dir>_test_<name>, for tests that need link options or
# a build of their own. One executable an area keeps CI's links and test discovery few. The test
# code itself is compiled without optimisation (the libraries it tests keep theirs): gtest's
# macros make optimising it the slowest part of the build, and it gains nothing from it.
function(zelvan_tests dir)
  cmake_parse_arguments(ZT "" "" "ALONE" ${ARGN})
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
  endif()
  foreach(_exe ${_exes})
    if(TARGET ${dir}_test_helpers)
      target_sources(${_exe} PRIVATE $<TARGET_OBJECTS:${dir}_test_helpers>)
    endif()
    target_compile_options(${_exe} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
    target_link_libraries(${_exe} PRIVATE ${_libs} zelvan_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    if(SANITIZE)
      zelvan_sanitize_test(${_exe})
    endif()
    # Discovered tests take one environment entry only (a list reaches them cut after its first
    # item); the null audio back end and the leak suppressions are set by the test programs
    # themselves (tests/support).
    gtest_discover_tests(${_exe}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      PROPERTIES ENVIRONMENT "ZELVAN_CONTENT_DIR=${ZELVAN_CONTENT_DIR}"
      DISCOVERY_TIMEOUT 60)
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
