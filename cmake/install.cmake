# What `cmake --install` puts into a prefix (LIBDIR is lib/<multiarch> on Debian,
# lib elsewhere), by install component, each one Debian package
# (packaging/debian/build-packages):
#
#   core      LIBDIR/libwayfind_core.so.9          the public core library
#             LIBDIR/wayfind/libwayfind_internal.so, libwayfind_pg.so
#                                                  its private library and module
#             share/wayfind/{lang,help,demo}       the resources, found relative to the library
#   windows   LIBDIR/libwayfind_windows.so.9, LIBDIR/wayfind/libwayfind_windows_internal.so
#   dev       include/wayfind/*.h                  the public headers, nothing else
#             LIBDIR/libwayfind_{core,windows}.so  the links a host's linker finds
#             LIBDIR/cmake/WayfindInfo/            find_package(WayfindInfo COMPONENTS core windows)
#             LIBDIR/pkgconfig/wayfind*.pc         the same for pkg-config
#   program   bin/wayfind, LIBDIR/wayfind/libwayfind_{app,gui}.so
#             share/applications, icons, metainfo, man, bash-completion, doc
include(CMakePackageConfigHelpers)

set(WAYFIND_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/WayfindInfo)
set(WAYFIND_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/wayfind)

install(DIRECTORY include/wayfind DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_BINARY_DIR}/generated/include/wayfind/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wayfind COMPONENT dev)

# The public libraries, and the private ones and modules beside them.
install(TARGETS wayfind_core_api EXPORT WayfindInfoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT core NAMELINK_COMPONENT dev)
install(TARGETS wayfind_core wayfind_pg LIBRARY DESTINATION ${WAYFIND_PRIVATE_LIBDIR} COMPONENT core NAMELINK_SKIP)
set(WAYFIND_MODULES wayfind_pg)
if(WAYFIND_WINDOWS)
  install(TARGETS wayfind_windows_api EXPORT WayfindInfoTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT windows NAMELINK_COMPONENT dev)
  install(TARGETS wayfind_windows LIBRARY DESTINATION ${WAYFIND_PRIVATE_LIBDIR} COMPONENT windows NAMELINK_SKIP)
  install(TARGETS wayfind_gui LIBRARY DESTINATION ${WAYFIND_PRIVATE_LIBDIR} COMPONENT program)
  list(APPEND WAYFIND_MODULES wayfind_gui)
endif()
install(TARGETS wayfind_app LIBRARY DESTINATION ${WAYFIND_PRIVATE_LIBDIR} COMPONENT program NAMELINK_SKIP)
install(TARGETS wayfind RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
# A prefix can be moved: every file finds the libraries beside or below itself.
file(RELATIVE_PATH WAYFIND_BIN_TO_PRIVATE /${CMAKE_INSTALL_BINDIR} /${WAYFIND_PRIVATE_LIBDIR})
set_target_properties(wayfind PROPERTIES INSTALL_RPATH "$ORIGIN/${WAYFIND_BIN_TO_PRIVATE}")
set_target_properties(wayfind_core_api PROPERTIES INSTALL_RPATH "$ORIGIN/wayfind")
set_target_properties(wayfind_core wayfind_app ${WAYFIND_MODULES} PROPERTIES INSTALL_RPATH "$ORIGIN")
if(WAYFIND_WINDOWS)
  set_target_properties(wayfind_windows_api PROPERTIES INSTALL_RPATH "$ORIGIN/wayfind")
  set_target_properties(wayfind_windows PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
# The build tree has the same layout, so its files use these paths too. Left to
# itself CMake would give them absolute paths into the build tree, padded with
# empty entries for the install step to overwrite; the loader reads an empty
# entry as the current folder, so a program started from the build tree would
# look there first for every library it needs, and load one someone left there.
set_target_properties(wayfind_core_api wayfind_core wayfind_app ${WAYFIND_MODULES}
  PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
if(WAYFIND_WINDOWS)
  set_target_properties(wayfind_windows_api wayfind_windows PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
endif()
# The program lies one folder deep in the build tree as in a prefix (app/, bin/);
# the private folder is reached by the install path through a link in the build
# tree when the library folder has more parts than lib/ (lib/x86_64-linux-gnu/).
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" AND NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}"
   AND NOT CMAKE_INSTALL_BINDIR MATCHES "/" AND NOT WAYFIND_BIN_TO_PRIVATE MATCHES "^\\.\\./\\.\\.")
  set(build_private ${CMAKE_BINARY_DIR}/${WAYFIND_PRIVATE_LIBDIR})
  if(NOT build_private STREQUAL WAYFIND_MODULE_OUTPUT_DIR)
    get_filename_component(build_private_parent ${build_private} DIRECTORY)
    file(MAKE_DIRECTORY ${build_private_parent})
    file(RELATIVE_PATH link_target ${build_private_parent} ${WAYFIND_MODULE_OUTPUT_DIR})
    file(CREATE_LINK ${link_target} ${build_private} SYMBOLIC)
  endif()
  set_target_properties(wayfind PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
endif()

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

install(DIRECTORY resources/lang resources/help resources/demo DESTINATION ${CMAKE_INSTALL_DATADIR}/wayfind COMPONENT core)
# What a user of the package reads first, where Debian keeps it.
install(FILES README.md docs/server-rights.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/wayfind COMPONENT program)

# The desktop: the console in the menus, its icon, AppStream metadata, the
# manual page and the shell's completion.
set(WAYFIND_APP_ID org.wayfind.WayfindInfo)
install(FILES packaging/${WAYFIND_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES packaging/wayfind.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${WAYFIND_APP_ID}.svg COMPONENT program)
install(FILES packaging/${WAYFIND_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)
install(FILES packaging/wayfind.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME wayfind COMPONENT program)

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
  install(FILES ${CMAKE_BINARY_DIR}/wayfind.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
endif()

# The Debian packages: packaging/debian/build-packages BUILD_DIR OUT_DIR, or
# `cmake --build build --target deb` (into build/deb).
add_custom_target(deb
  COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/debian/build-packages ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/deb
  USES_TERMINAL)
