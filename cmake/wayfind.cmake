# Helpers shared by every folder's CMakeLists.

# wayfind_test(<name> LABEL <area> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable whose tests carry the CTest label of their area, so
# one area runs alone with `ctest --preset default -L <area>`.
function(wayfind_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# wayfind_library(<name> <sources...>): a shared library from globbed sources. A
# folder that has no sources yet still yields a (empty) library, so the layers
# above it link.
function(wayfind_library name)
  set(sources ${ARGN})
  if(NOT sources)
    set(empty ${CMAKE_BINARY_DIR}/generated/${name}_empty.cpp)
    file(WRITE ${empty} "// ${name} has no sources yet.\n")
    set(sources ${empty})
  endif()
  add_library(${name} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
