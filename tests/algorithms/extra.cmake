# Sensitivity tests against a test engine with closed-form models: the engine is built as
# libOrvex.so beside its own test executable, which compiles the algorithm sources directly so
# that their internals (frequencies, spectrum) are reachable.
set(ALGORITHMS_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})
set(algorithms_model_out ${CMAKE_BINARY_DIR}/bin/model_engine)

add_library(tst_algorithms_model_engine SHARED ${ALGORITHMS_TEST_DIR}/model_engine/model_engine.cpp)
set_target_properties(tst_algorithms_model_engine PROPERTIES OUTPUT_NAME Orvex
    LIBRARY_OUTPUT_DIRECTORY ${algorithms_model_out} RUNTIME_OUTPUT_DIRECTORY ${algorithms_model_out})

file(GLOB algorithms_model_sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/algorithms/*.cpp ${ALGORITHMS_TEST_DIR}/model_engine/tst_*.cpp)
add_executable(tst_algorithms_model ${algorithms_model_sources}
    ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
if(VARISTRA_SANITIZE)
  target_sources(tst_algorithms_model PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/sanitizer_defaults.cpp)
endif()
set_target_properties(tst_algorithms_model PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${algorithms_model_out})
target_compile_definitions(tst_algorithms_model PRIVATE PLAN_ALGORITHMS_LIBRARY)
target_include_directories(tst_algorithms_model PRIVATE ${PROJECT_SOURCE_DIR}/algorithms
    ${PROJECT_SOURCE_DIR}/tests/support ${ALGORITHMS_TEST_DIR}/model_engine)
target_link_libraries(tst_algorithms_model PRIVATE plan_engine_link PkgConfig::FFTW3 Qt5::Widgets
    Qt5::Test GTest::gtest GTest::gmock)
add_dependencies(tst_algorithms_model tst_algorithms_model_engine)
gtest_discover_tests(tst_algorithms_model
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
