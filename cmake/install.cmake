# What `cmake --install` puts into a prefix, and the Debian package made from it:
#
#   bin/wayfind                       the program
#   lib/libwayfind_core.so ...        the libraries (core, windows, the program's)
#   lib/wayfind/libwayfind_{pg,gui}.so  the modules the program opens on demand
#   include/wayfind/...               the headers a host includes
#   lib/cmake/WayfindInfo/            find_package(WayfindInfo): WayfindInfo::core,
#                                     WayfindInfo::windows
#   lib/pkgconfig/wayfind*.pc         the same for pkg-config
#   share/wayfind/{lang,help,demo}    the resources, found relative to the library
#   share/applications, icons, metainfo, man, bash-completion
include(CMakePackageConfigHelpers)

set(WAYFIND_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/WayfindInfo)
set(WAYFIND_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/wayfind)

# The headers a host needs, and every header they include in turn.
function(wayfind_header_closure out)
  set(pending ${ARGN})
  set(found "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found OR NOT EXISTS ${PROJECT_SOURCE_DIR}/${header})
      continue()
    endif()
    list(APPEND found ${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^#include \"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      list(APPEND pending ${included})
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

wayfind_header_closure(WAYFIND_CORE_HEADERS
  platform/automation/registry.h platform/automation/variant.h platform/automation/automation_error.h
  platform/automation/dispatch.h platform/automation/conversions.h platform/recordset/recordset.h
  platform/containers/dictionary.h platform/containers/vector.h
  erp/api/progids.h erp/api/share_props.h erp/api/message_service.h erp/api/language.h erp/api/logging.h
  erp/api/help.h erp/api/security.h erp/api/account_manager.h erp/api/data_access.h
  erp/client/register_client.h erp/client/data_services.h erp/middletier/register_server.h
  erp/storage/database.h store/datas_info.h store/cache_files.h update/datas_update.h)
set(WAYFIND_WINDOWS_HEADERS "")
if(WAYFIND_WINDOWS)
  wayfind_header_closure(WAYFIND_WINDOWS_HEADERS launcher/application.h launcher/register_windows.h widgets/windows_runtime.h
    erp/frmres/frm_res_loader.h)
  list(REMOVE_ITEM WAYFIND_WINDOWS_HEADERS ${WAYFIND_CORE_HEADERS})
endif()
foreach(header ${WAYFIND_CORE_HEADERS} ${WAYFIND_WINDOWS_HEADERS})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${WAYFIND_INCLUDE_DIR}/${dir} COMPONENT dev)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/generated/wayfind_version.h DESTINATION ${WAYFIND_INCLUDE_DIR} COMPONENT dev)

# The targets, with the names a host links: WayfindInfo::core, WayfindInfo::windows.
set_target_properties(wayfind_core PROPERTIES EXPORT_NAME core VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(wayfind_erp_api PROPERTIES EXPORT_NAME erp_api)
set(WAYFIND_EXPORTED wayfind_core wayfind_erp_api)
if(WAYFIND_WINDOWS)
  set_target_properties(wayfind_windows PROPERTIES EXPORT_NAME windows VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  list(APPEND WAYFIND_EXPORTED wayfind_windows)
endif()
set_target_properties(wayfind_app PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS ${WAYFIND_EXPORTED} EXPORT WayfindInfoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${WAYFIND_INCLUDE_DIR})
install(TARGETS wayfind_app LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS wayfind RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(WAYFIND_MODULES wayfind_pg)
if(WAYFIND_WINDOWS)
  list(APPEND WAYFIND_MODULES wayfind_gui)
endif()
install(TARGETS ${WAYFIND_MODULES} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/wayfind)
# A prefix can be moved: every file finds the libraries beside or above itself.
set_target_properties(wayfind PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set_target_properties(wayfind_core wayfind_app PROPERTIES INSTALL_RPATH "$ORIGIN")
if(WAYFIND_WINDOWS)
  set_target_properties(wayfind_windows PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
set_target_properties(${WAYFIND_MODULES} PROPERTIES INSTALL_RPATH "$ORIGIN/..")

install(EXPORT WayfindInfoTargets NAMESPACE WayfindInfo:: DESTINATION ${WAYFIND_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/WayfindInfoConfig.cmake.in ${CMAKE_BINARY_DIR}/WayfindInfoConfig.cmake
  INSTALL_DESTINATION ${WAYFIND_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/WayfindInfoConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/WayfindInfoConfig.cmake ${CMAKE_BINARY_DIR}/WayfindInfoConfigVersion.cmake
  DESTINATION ${WAYFIND_CMAKE_DIR} COMPONENT dev)

# The pkg-config files find the prefix from where they lie (${pcfiledir}), so they
# hold after the prefix is moved or packaged: as many ".." as the library folder is deep.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(WAYFIND_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  set(WAYFIND_PC_PREFIX "\${pcfiledir}/..")
  string(REPLACE "/" ";" libdir_parts "${CMAKE_INSTALL_LIBDIR}")
  foreach(part ${libdir_parts})
    string(APPEND WAYFIND_PC_PREFIX "/..")
  endforeach()
endif()
configure_file(packaging/wayfind.pc.in ${CMAKE_BINARY_DIR}/wayfind.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/wayfind.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
if(WAYFIND_WINDOWS)
  configure_file(packaging/wayfind-windows.pc.in ${CMAKE_BINARY_DIR}/wayfind-windows.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/wayfind-windows.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

install(DIRECTORY resources/lang resources/help resources/demo DESTINATION ${CMAKE_INSTALL_DATADIR}/wayfind)
# What a user of the package reads first, where Debian keeps it.
install(FILES README.md docs/server-rights.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/wayfind)

# The desktop: the console in the menus, its icon, AppStream metadata, the
# manual page and the shell's completion.
set(WAYFIND_APP_ID org.wayfind.WayfindInfo)
install(FILES packaging/${WAYFIND_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/wayfind.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${WAYFIND_APP_ID}.svg)
install(FILES packaging/${WAYFIND_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/wayfind.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME wayfind)

# wayfind(1), made from the program's own --help texts when help2man is there.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/wayfind.1
    COMMAND ${CMAKE_COMMAND} -DWAYFIND=$<TARGET_FILE:wayfind> -DHELP2MAN=${HELP2MAN}
            -DOUT=${CMAKE_BINARY_DIR}/wayfind.1 -P ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
    DEPENDS wayfind ${WAYFIND_MODULES} ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake ${PROJECT_SOURCE_DIR}/app/command_line.cpp
    COMMENT "Writing the manual page wayfind(1)")
  # Installed compressed, as manual pages are (gzip -n: the same bytes every build).
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/wayfind.1.gz
    COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/wayfind.1 > ${CMAKE_BINARY_DIR}/wayfind.1.gz
    DEPENDS ${CMAKE_BINARY_DIR}/wayfind.1
    COMMENT "Compressing wayfind(1)")
  add_custom_target(wayfind_manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/wayfind.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/wayfind.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME wayfind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "WayfindInfo")
set(CPACK_PACKAGE_CONTACT "WayfindInfo developers <wayfind@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "navigation tree of an ERP desktop client, with its editors")
set(CPACK_PACKAGE_DESCRIPTION "WayfindInfo serves the four-level navigation tree of an ERP client's main\n console, merges each user's own rows over the company template, and offers the\n editors in which users customise the tree, their favourites and their settings.\n It runs on an embedded SQLite database or on a PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://wayfind.invalid/")
include(CPack)
