# The libraries the folders' objects are put together into. Two are public,
# each a thin layer over a private library that holds the code:
#
#   libwayfind_core.so.9       public (target wayfind_core_api, api/): the calls
#                              of include/wayfind/, nothing else exported
#   wayfind/libwayfind_internal.so
#                              (target wayfind_core) the component (store, update,
#                              context) with the ERP it runs on (platform, erp:
#                              SQLite storage, middle tier, client services) and
#                              no GUI: what the public library, the command line
#                              and the tests link
#   libwayfind_windows.so.9    public (target wayfind_windows_api): wayfind/windows.h
#   wayfind/libwayfind_windows_internal.so
#                              (target wayfind_windows) every window, on Qt Widgets
#   wayfind/libwayfind_pg.so   module: the PostgreSQL back end, opened for a
#                              postgresql:// location only (erp/CMakeLists.txt)
#   wayfind/libwayfind_gui.so  module: the program's window commands (app/console)
#
# The private libraries lie in the folder "wayfind" beside the public ones, in the
# build tree as in an installed prefix: a host's linker never sees them, and they
# may change within a major version. They carry no version of their own: the
# packages that hold them are always installed at the same version.
#
# One library for the core, bound to itself (-Bsymbolic-functions), keeps the
# program's start to a few shared objects and few symbol look-ups; its
# process-wide state (the ProgID registry, the store, the language cache) exists
# once per process whoever links it.
set(WAYFIND_CORE_OBJECTS
  wayfind_platform_objects wayfind_erp_server_objects wayfind_erp_client_objects
  wayfind_context_objects wayfind_store_objects wayfind_update_objects wayfind_api_objects)
add_library(wayfind_core SHARED)
set_target_properties(wayfind_core PROPERTIES OUTPUT_NAME wayfind_internal
  LIBRARY_OUTPUT_DIRECTORY ${WAYFIND_MODULE_OUTPUT_DIR})
foreach(objects ${WAYFIND_CORE_OBJECTS})
  target_sources(wayfind_core PRIVATE $<TARGET_OBJECTS:${objects}>)
  target_link_libraries(${objects} PUBLIC wayfind_erp_api)
endforeach()
target_include_directories(wayfind_core PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
target_link_libraries(wayfind_core PUBLIC wayfind_erp_api PRIVATE SQLite::SQLite3 ${CMAKE_DL_LIBS})
target_link_options(wayfind_core PRIVATE -Wl,-Bsymbolic-functions -Wl,--as-needed)


# The names the folders' libraries had: each is now the core.
foreach(name wayfind_platform wayfind_erp wayfind_erp_server wayfind_erp_client wayfind_context)
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE wayfind_core)
endforeach()

if(WAYFIND_WINDOWS)
  add_library(wayfind_windows SHARED)
  set_target_properties(wayfind_windows PROPERTIES OUTPUT_NAME wayfind_windows_internal
    LIBRARY_OUTPUT_DIRECTORY ${WAYFIND_MODULE_OUTPUT_DIR})
  foreach(objects ${WAYFIND_WINDOW_OBJECTS})
    target_sources(wayfind_windows PRIVATE $<TARGET_OBJECTS:${objects}>)
    target_link_libraries(${objects} PUBLIC wayfind_core)
  endforeach()
  target_include_directories(wayfind_windows PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(wayfind_windows PUBLIC wayfind_core Qt6::Widgets)
  target_link_options(wayfind_windows PRIVATE -Wl,-Bsymbolic-functions -Wl,--as-needed)
  foreach(name wayfind_widgets wayfind_dialogs wayfind_options wayfind_favourites wayfind_editor wayfind_erp_frmres)
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE wayfind_windows)
  endforeach()
endif()
