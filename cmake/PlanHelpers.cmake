# plan_add_library(<name> DIR <folder> [OBJECT_TWIN] [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# Builds a shared library from every .cpp/.h/.ui of <folder> (new files are picked up on the next
# build). With OBJECT_TWIN the sources are compiled once into <name>_objs, which unit tests of the
# library's internals link directly, and the shared library is made from the same objects.
function(plan_add_library name)
  cmake_parse_arguments(ARG "OBJECT_TWIN" "DIR;DEFINE" "PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h ${ARG_DIR}/*.ui)
  if(ARG_OBJECT_TWIN)
    add_library(${name}_objs OBJECT ${srcs})
    target_compile_definitions(${name}_objs PUBLIC ${ARG_DEFINE})
    target_include_directories(${name}_objs PUBLIC ${ARG_DIR})
    target_link_libraries(${name}_objs PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objs>)
    target_include_directories(${name} PUBLIC ${ARG_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  else()
    add_library(${name} SHARED ${srcs})
    target_compile_definitions(${name} PRIVATE ${ARG_DEFINE})
    target_include_directories(${name} PUBLIC ${ARG_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  endif()
endfunction()

# plan_add_test_folder(<name> DIR <folder> LIBS ...)
# One GoogleTest executable per test folder, from every .cpp in it plus the shared test main.
function(plan_add_test_folder name)
  cmake_parse_arguments(ARG "" "DIR" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  if(VARISTRA_SANITIZE OR VARISTRA_TSAN)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/sanitizer_defaults.cpp)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support ${ARG_DIR})
  target_compile_definitions(${name} PRIVATE
      VARISTRA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
      VARISTRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt5::Widgets Qt5::Test GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
      DISCOVERY_TIMEOUT 60)
endfunction()
