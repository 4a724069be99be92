# The windows: one library, libwayfind_windows, from the folders
#
#   widgets/      grid, keyed tree, toolbar, modal runner, forms ...
#   dialogs/      item and user dialogs
#   options/      options and company properties
#   favourites/   favourites editor, picker and group chooser
#   editor/       the main-console editor
#   launcher/     WayfindInfo.Application, which opens them, and the list of them
#   erp/frmres/   the window resource loader
#
# Each folder lists its sources in its own CMakeLists.txt. Windows find each
# other by name through the form registry (widgets/form_registry.h), so no
# window folder includes another; launcher/register_windows.cpp registers them
# all when the host calls it.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

# wayfind_window_objects(<name> <sources...>): a window folder's compiled
# sources, for libwayfind_windows (cmake/libraries.cmake).
function(wayfind_window_objects name)
  wayfind_objects(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_link_libraries(${name} PUBLIC Qt6::Widgets)
  set_property(GLOBAL APPEND PROPERTY WAYFIND_WINDOW_OBJECTS ${name})
endfunction()

set_property(GLOBAL PROPERTY WAYFIND_WINDOW_OBJECTS wayfind_erp_frmres_objects)
foreach(folder widgets dialogs options favourites editor launcher)
  add_subdirectory(${folder})
endforeach()
get_property(WAYFIND_WINDOW_OBJECTS GLOBAL PROPERTY WAYFIND_WINDOW_OBJECTS)

# wayfind_window_tests(<name> LABEL <area> SOURCES <files...> LIBS <targets...>):
# one GoogleTest executable of a test folder's windows, run on Qt's offscreen
# platform, with the main of every window test (tests/windows_support).
function(wayfind_window_tests name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} wayfind_window_test_support GTest::gmock GTest::gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

