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

# wayfind_objects(<name> <sources...>): a folder's compiled sources, position
# independent, to be put together with others into one of the libraries
# (cmake/libraries.cmake). A folder that has no sources yet adds an empty one.
function(wayfind_objects name)
  set(sources ${ARGN})
  if(NOT sources)
    set(empty ${CMAKE_BINARY_DIR}/generated/${name}_empty.cpp)
    file(WRITE ${empty} "// ${name} has no sources yet.\n")
    set(sources ${empty})
  endif()
  add_library(${name} OBJECT ${sources})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# wayfind_module(<name> <sources...>): a library the program opens only when a
# command needs it (the windows, the PostgreSQL back end), placed where
# platform/module_loader.h looks for it: the folder "wayfind" beside the
# program's libraries. Its undefined symbols are the core's, which the process has
# already loaded.
function(wayfind_module name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "lib" LIBRARY_OUTPUT_DIRECTORY ${WAYFIND_MODULE_OUTPUT_DIR})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Every symbol resolved when the module is linked: the program opens it with
  # lazy binding, where a missing one would only show at its first call. (A
  # sanitizer's runtime lives in the program, so those builds cannot ask it.)
  if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize" AND NOT WAYFIND_FUZZ)
    target_link_options(${name} PRIVATE -Wl,-z,defs)
  endif()
endfunction()
