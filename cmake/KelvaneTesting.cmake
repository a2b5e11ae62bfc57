# add_unit_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One Qt Test program per module; it runs headless and finds its fixtures
# through KELVANE_FIXTURES.
function(add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kelvane_testsupport Qt6::Test)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KELVANE_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
    LABELS "${T_LABELS}"
    TIMEOUT 300)
endfunction()
