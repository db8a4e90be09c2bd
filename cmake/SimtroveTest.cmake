# simtrove_add_test(<source> [LIBS lib...] [LABELS label...])
# One GoogleTest executable per module test file; its name is derived from the
# file path below tests/ (tests/numerics/fft/fft_test.cpp -> numerics_fft_fft_test).
find_package(GTest REQUIRED)
include(GoogleTest)

function(simtrove_add_test source)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  string(REGEX REPLACE "\\.cpp$" "" name ${rel})
  string(REPLACE "/" "_" name ${name})
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

# simtrove_add_tests(<source>... LIBS lib... [LABELS label...]): one test per source.
function(simtrove_add_tests)
  cmake_parse_arguments(ARG "" "" "LIBS;LABELS" ${ARGN})
  foreach(source IN LISTS ARG_UNPARSED_ARGUMENTS)
    simtrove_add_test(${source} LIBS ${ARG_LIBS} LABELS ${ARG_LABELS})
  endforeach()
endfunction()
