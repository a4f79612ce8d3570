# Installation extras and the Debian packages (./run package: cpack -G DEB).
#
#   ardmon         the launcher, its desktop entry and icon
#   libledgraN     libledgra.so.N, the export library (N: the soname's number)
#   libledgra-dev  headers, the libledgra.so link, the CMake package, ledgra.pc
#
# Each package is made from install components: ardmon from "ardmon"; Ledgra
# installs everything into "ledgra", which becomes libledgraN, and a script
# moves the development files into libledgra-dev's staging tree before packaging.
# Each package carries its deliverable's version: ardmon the project's, Ledgra's
# two LEDGRA_VERSION. Each has its copyright file and changelog; ardmon its two
# manual pages and ardmon-cli's bash completion. The library package leaves the
# loader's cache to dpkg's ldconfig trigger. lintian finds nothing to report
# (tests/packaging).
set(HALVO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(HALVO_ARDMON_COMPONENT ardmon)
set(HALVO_LEDGRA_COMPONENT ledgra)
get_target_property(_ledgra_soversion ledgra SOVERSION)

# Ardmon's desktop entry and icon (the application icon, 138, as PNG).
install(FILES ${HALVO_PACKAGING_DIR}/ardmon.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${HALVO_ARDMON_COMPONENT})
set(_icon_xpm ${PROJECT_SOURCE_DIR}/launcher/resources/ardmon_icon_138.xpm)
add_executable(halvo_xpm_to_png ${HALVO_PACKAGING_DIR}/xpm_to_png.cpp)
target_link_libraries(halvo_xpm_to_png PRIVATE halvo_wx)
set(_icon_png ${CMAKE_BINARY_DIR}/packaging/ardmon.png)
add_custom_command(OUTPUT ${_icon_png}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:halvo_xpm_to_png> ${_icon_xpm} ${_icon_png} 48
  DEPENDS halvo_xpm_to_png ${_icon_xpm}
  COMMENT "Ardmon's icon as PNG")
add_custom_target(halvo_ardmon_icon ALL DEPENDS ${_icon_png})
install(FILES ${_icon_png}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
  COMPONENT ${HALVO_ARDMON_COMPONENT})

set(ARDMON_VERSION ${PROJECT_VERSION})
set(_ledgra_package libledgra${_ledgra_soversion})
set(_debian ${HALVO_PACKAGING_DIR}/debian)

# halvo_install_gzipped(<source> <name> <folder> <component>): source with its
# @VARIABLES@ filled in, compressed as Debian wants (gzip -9n: no name, no
# time stamp), installed as <name>.gz into folder.
function(halvo_install_gzipped source name folder component)
  set(plain ${CMAKE_BINARY_DIR}/packaging/${folder}/${name})
  configure_file(${source} ${plain} @ONLY)
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND gzip -9nkf ${plain}
    DEPENDS ${plain}
    VERBATIM)
  string(MAKE_C_IDENTIFIER "${folder}/${name}" target)
  add_custom_target(halvo_gzip_${target} ALL DEPENDS ${plain}.gz)
  install(FILES ${plain}.gz DESTINATION ${folder} COMPONENT ${component})
endfunction()

# Manual pages (roff, with the version filled in) and ardmon-cli's completion.
foreach(page ardmon ardmon-cli)
  halvo_install_gzipped(${HALVO_PACKAGING_DIR}/man/${page}.1.in ${page}.1 ${CMAKE_INSTALL_MANDIR}/man1
                        ${HALVO_ARDMON_COMPONENT})
endforeach()
install(FILES ${HALVO_PACKAGING_DIR}/bash-completion/ardmon-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT ${HALVO_ARDMON_COMPONENT})

# Copyright and changelog of each package; the -dev package's files go with
# Ledgra's component and move to its tree with the development files.
foreach(package ardmon ${_ledgra_package} libledgra-dev)
  if(package STREQUAL "ardmon")
    set(component ${HALVO_ARDMON_COMPONENT})
    set(changelog ${_debian}/ardmon.changelog.in)
  else()
    set(component ${HALVO_LEDGRA_COMPONENT})
    set(changelog ${_debian}/libledgra.changelog.in)
  endif()
  install(FILES ${_debian}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  halvo_install_gzipped(${changelog} changelog ${CMAKE_INSTALL_DATADIR}/doc/${package} ${component})
endforeach()

set(CPACK_PACKAGE_NAME halvo-workstation)
set(CPACK_PACKAGE_VENDOR "Halvo")
set(CPACK_PACKAGE_CONTACT "Halvo workstation maintainers <workstation@halvo.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Per package (packaging/debian/package_versions.cmake, read by cpack).
set(CPACK_HALVO_VERSION_${HALVO_ARDMON_COMPONENT} ${ARDMON_VERSION})
set(CPACK_HALVO_VERSION_${HALVO_LEDGRA_COMPONENT} ${LEDGRA_VERSION})
set(CPACK_HALVO_VERSION_libledgra-dev ${LEDGRA_VERSION})
set(CPACK_PROJECT_CONFIG_FILE ${_debian}/package_versions.cmake)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Halvo workstation tools: Ardmon and Ledgra")
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)          # runtime deps from dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)    # shlibs file
set(CPACK_POST_BUILD_SCRIPTS ${_debian}/no_ldconfig_scripts.cmake)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
string(TOUPPER ${HALVO_ARDMON_COMPONENT} _ardmon)
set(CPACK_COMPONENT_${_ardmon}_DESCRIPTION
  "launcher for the Halvo trading terminal\n Ardmon lists the environment profiles in the terminal's env folder,\n merges the chosen one into halvoclient.ini, shows INI files in\n viewer windows and starts the terminal. ardmon-cli lists, shows\n and loads the profiles from the command line, with a dry run, for\n scripts and fleet tools.")
set(CPACK_DEBIAN_${_ardmon}_PACKAGE_NAME ardmon)
set(CPACK_DEBIAN_${_ardmon}_PACKAGE_SECTION x11)

set(CPACK_PRE_BUILD_SCRIPTS ${HALVO_PACKAGING_DIR}/split_ledgra.cmake)
set(CPACK_HALVO_LEDGRA_COMPONENT ${HALVO_LEDGRA_COMPONENT})
string(TOUPPER ${HALVO_LEDGRA_COMPONENT} _ledgra)
set(CPACK_COMPONENTS_ALL ${HALVO_ARDMON_COMPONENT} ${HALVO_LEDGRA_COMPONENT} libledgra-dev)

set(CPACK_COMPONENT_${_ledgra}_DESCRIPTION
  "table export library (text and Excel 97-2003 workbooks)\n Ledgra saves a table whose cells a program supplies through a callback,\n as comma-separated text or as a workbook, asking the user for the file.")
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_NAME ${_ledgra_package})
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_CONTROL_EXTRA ${_debian}/triggers)
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_SECTION libs)
# Saved workbooks are opened with the desktop's default program.
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_COMPONENT_LIBLEDGRA-DEV_DESCRIPTION
  "table export library - development files\n Headers, CMake package (find_package(Ledgra)) and pkg-config file\n for programs that use Ledgra.")
set(CPACK_COMPONENT_LIBLEDGRA-DEV_DEPENDS ${HALVO_LEDGRA_COMPONENT})
set(CPACK_DEBIAN_LIBLEDGRA-DEV_PACKAGE_NAME libledgra-dev)
set(CPACK_DEBIAN_LIBLEDGRA-DEV_PACKAGE_SECTION libdevel)

include(CPack)
