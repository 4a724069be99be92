# The windows: one shared library per window folder, so a half-written file in one
# folder never stops another folder's library or tests from building.
#
#   wayfind_widgets     widgets/      grid, keyed tree, toolbar, modal runner, forms ...
#   wayfind_dialogs     dialogs/      item and user dialogs
#   wayfind_options     options/      options and company properties
#   wayfind_favourites  favourites/   favourites editor, picker and group chooser
#   wayfind_editor      editor/       the main-console editor
#   wayfind_windows     all of them, and the launcher (context/launcher/)
#
# A folder's sources are globbed (*.cpp, and *.qrc for resources): adding a file
# is all a window needs. Windows find each other by name through the form
# registry (widgets/form_registry.h), so no window folder links another.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

# Each folder library carries a generated anchor function that wayfind_windows
# calls, so the linker (which drops libraries nothing uses) keeps every folder
# loaded and the forms they register are there at run time.
function(wayfind_window_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.qrc)
  set(anchor ${CMAKE_BINARY_DIR}/generated/${name}_anchor.cpp)
  file(CONFIGURE OUTPUT ${anchor} CONTENT "// Generated: keeps ${name} loaded where wayfind_windows is.\nextern \"C\" void ${name}_anchor() {}\n")
  add_library(${name} ${sources} ${anchor})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  foreach(dep ${ARGN})
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
endfunction()

wayfind_window_library(wayfind_widgets widgets
  wayfind_core wayfind_erp_api wayfind_erp_client wayfind_erp_frmres Qt6::Widgets)
foreach(folder dialogs options favourites editor)
  wayfind_window_library(wayfind_${folder} ${folder} wayfind_widgets)
endforeach()

set(WAYFIND_WINDOW_FOLDER_LIBS wayfind_widgets wayfind_dialogs wayfind_options wayfind_favourites wayfind_editor)
set(anchors_cpp ${CMAKE_BINARY_DIR}/generated/wayfind_windows_anchors.cpp)
set(anchor_decls "")
set(anchor_calls "")
foreach(lib ${WAYFIND_WINDOW_FOLDER_LIBS})
  string(APPEND anchor_decls "extern \"C\" void ${lib}_anchor();\n")
  string(APPEND anchor_calls "  ${lib}_anchor();\n")
endforeach()
file(CONFIGURE OUTPUT ${anchors_cpp} CONTENT
  "// Generated: references every window folder's library so each stays loaded.\n${anchor_decls}namespace wayfind::windows {\nvoid linkAllWindowFolders() {\n${anchor_calls}}\n}  // namespace wayfind::windows\n")

file(GLOB WAYFIND_LAUNCHER_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/context/launcher/*.cpp)
add_library(wayfind_windows ${WAYFIND_LAUNCHER_SOURCES} ${anchors_cpp})
target_include_directories(wayfind_windows PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(wayfind_windows PROPERTIES AUTOMOC ON AUTORCC ON)
target_link_libraries(wayfind_windows PUBLIC ${WAYFIND_WINDOW_FOLDER_LIBS})

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

# wayfind_screenshot: the program's command that renders a window to a picture.
# It sits on the host (wayfind_app, defined later in app/) and on every window.
file(GLOB WAYFIND_SCREENSHOT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/screenshot/*.cpp)
add_library(wayfind_screenshot ${WAYFIND_SCREENSHOT_SOURCES})
target_include_directories(wayfind_screenshot PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(wayfind_screenshot PUBLIC wayfind_app wayfind_windows Qt6::Widgets)
