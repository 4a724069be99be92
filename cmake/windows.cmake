# The windows: one library, libwayfind_windows, from the folders
#
#   widgets/      grid, keyed tree, toolbar, modal runner, forms ...
#   dialogs/      item and user dialogs
#   options/      options and company properties
#   favourites/   favourites editor, picker and group chooser
#   editor/       the main-console editor
#   launcher/   WayfindInfo.Application, which opens them
#   erp/frmres/   the window resource loader
#
# A folder's sources are globbed (*.cpp, and *.qrc for resources). Windows find
# each other by name through the form registry (widgets/form_registry.h), so no
# window folder includes another.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

set(WAYFIND_WINDOW_FOLDERS widgets dialogs options favourites editor launcher)
set(WAYFIND_WINDOW_OBJECTS wayfind_erp_frmres_objects)
foreach(folder ${WAYFIND_WINDOW_FOLDERS})
  string(REPLACE "/" "_" id ${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.qrc)
  wayfind_objects(wayfind_${id}_objects ${sources})
  set_target_properties(wayfind_${id}_objects PROPERTIES AUTOMOC ON AUTORCC ON)
  target_link_libraries(wayfind_${id}_objects PUBLIC Qt6::Widgets)
  list(APPEND WAYFIND_WINDOW_OBJECTS wayfind_${id}_objects)
endforeach()

# Every window folder is in the one library, whose loading registers the forms.
# The programs and tests that name a folder's anchor, or ask for every folder,
# still link: the functions remain and do nothing.
set(WAYFIND_WINDOWS_ANCHORS ${CMAKE_BINARY_DIR}/generated/wayfind_windows_anchors.cpp)
file(CONFIGURE OUTPUT ${WAYFIND_WINDOWS_ANCHORS} CONTENT [[
// Generated: the windows are one library; these remain for their callers.
extern "C" void wayfind_widgets_anchor() {}
extern "C" void wayfind_dialogs_anchor() {}
extern "C" void wayfind_options_anchor() {}
extern "C" void wayfind_favourites_anchor() {}
extern "C" void wayfind_editor_anchor() {}
namespace wayfind::windows {
void linkAllWindowFolders() {}
}  // namespace wayfind::windows
]])

# wayfind_window_tests(<name> LABEL <area> LIBS <targets...>): one GoogleTest
# executable from every *.cpp of the calling test folder, run on Qt's offscreen
# platform. A folder without test sources yet adds nothing.
function(wayfind_window_tests name)
  cmake_parse_arguments(T "" "LABEL" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} wayfind_window_test_support GTest::gmock GTest::gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

