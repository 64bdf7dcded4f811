# Scripted test engines, each built as libOrvex.so in its own folder beside its own test
# executable, so that the engine link loads it from the application directory: one complete,
# one with some exports left out, one with the optional design exports too.
set(ENGINE_LINK_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

function(engine_link_add_scripted_test name folder)
  cmake_parse_arguments(ARG "" "" "DEFINES;SOURCES;LIBS" ${ARGN})
  set(out ${CMAKE_BINARY_DIR}/bin/${folder})
  add_library(${name}_engine SHARED ${ENGINE_LINK_TEST_DIR}/scripted/fake_engine.cpp)
  set_target_properties(${name}_engine PROPERTIES OUTPUT_NAME Orvex
      LIBRARY_OUTPUT_DIRECTORY ${out} RUNTIME_OUTPUT_DIRECTORY ${out})
  target_compile_definitions(${name}_engine PRIVATE ${ARG_DEFINES})
  target_include_directories(${name}_engine PRIVATE ${ENGINE_LINK_TEST_DIR}/scripted)

  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  if(VARISTRA_SANITIZE)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/sanitizer_defaults.cpp)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${out})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support
      ${ENGINE_LINK_TEST_DIR}/scripted)
  target_link_libraries(${name} PRIVATE plan_engine_link ${ARG_LIBS} Qt5::Widgets Qt5::Test GTest::gtest
      GTest::gmock)
  add_dependencies(${name} ${name}_engine)
  gtest_discover_tests(${name}
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
      DISCOVERY_TIMEOUT 60)
endfunction()

engine_link_add_scripted_test(tst_engine_link_scripted scripted_engine
    SOURCES ${ENGINE_LINK_TEST_DIR}/scripted/tst_scripted_engine.cpp
            ${ENGINE_LINK_TEST_DIR}/scripted/scripted_fixture.h)
engine_link_add_scripted_test(tst_engine_link_partial partial_engine
    DEFINES FAKE_PARTIAL
    SOURCES ${ENGINE_LINK_TEST_DIR}/scripted/tst_partial_engine.cpp
            ${ENGINE_LINK_TEST_DIR}/scripted/scripted_fixture.h)
engine_link_add_scripted_test(tst_engine_link_scripted_facade scripted_facade
    LIBS plan_core
    SOURCES ${ENGINE_LINK_TEST_DIR}/scripted/tst_scripted_facade.cpp
            ${ENGINE_LINK_TEST_DIR}/scripted/scripted_fixture.h)
engine_link_add_scripted_test(tst_engine_link_optional optional_engine
    DEFINES FAKE_OPTIONAL_DESIGN
    LIBS plan_core
    SOURCES ${ENGINE_LINK_TEST_DIR}/scripted/tst_optional_engine.cpp
            ${ENGINE_LINK_TEST_DIR}/scripted/scripted_fixture.h)
