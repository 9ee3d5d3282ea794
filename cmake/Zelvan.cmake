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

# zelvan_tests(DIR LIBS...): every test_*.cpp in DIR becomes its own GoogleTest executable,
# so areas can grow independently; each is registered with CTest case by case.
function(zelvan_tests dir)
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/test_*.cpp)
  file(GLOB _support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/support_*.cpp)
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    set(_exe ${dir}_${_n})
    add_executable(${_exe} ${_t} ${_support})
    target_link_libraries(${_exe} PRIVATE ${ARGN} zelvan_test_support GTest::gtest GTest::gmock GTest::gtest_main)
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
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tests/support/KeepModulesLoaded.cpp)
  # Exported, so the libraries that call dlclose bind to it rather than to the C library's.
  target_link_options(${target} PRIVATE -Wl,--export-dynamic-symbol=dlclose)
  target_compile_definitions(${target} PRIVATE
    ZELVAN_LSAN_SUPPRESSIONS="${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tests/lsan-mesa.supp")
endfunction()
