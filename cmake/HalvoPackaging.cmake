# Installation extras and the Debian packages (./run package: cpack -G DEB).
#
#   ardmon         the launcher, its desktop entry and icon
#   libledgraN     libledgra.so.N, the export library (N: the soname's number)
#   libledgra-dev  headers, the libledgra.so link, the CMake package, ledgra.pc
#
# Each package is made from install components: ardmon from "ardmon"; Ledgra
# installs everything into "ledgra", which becomes libledgraN, and a script
# moves the development files into libledgra-dev's staging tree before packaging.
# The packages' version is the project's.
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

set(CPACK_PACKAGE_NAME halvo-workstation)
set(CPACK_PACKAGE_VENDOR "Halvo")
set(CPACK_PACKAGE_CONTACT "Halvo workstation maintainers <workstation@halvo.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Halvo workstation tools: Ardmon and Ledgra")
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)          # runtime deps from dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)    # shlibs file; ldconfig in postinst/postrm
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
string(TOUPPER ${HALVO_ARDMON_COMPONENT} _ardmon)
set(CPACK_COMPONENT_${_ardmon}_DESCRIPTION
  "launcher for the Halvo trading terminal\n Ardmon lists the environment profiles in the terminal's env folder,\n merges the chosen one into halvoclient.ini, shows INI files in\n viewer windows and starts the terminal.")
set(CPACK_DEBIAN_${_ardmon}_PACKAGE_NAME ardmon)
set(CPACK_DEBIAN_${_ardmon}_PACKAGE_SECTION x11)

set(CPACK_PRE_BUILD_SCRIPTS ${HALVO_PACKAGING_DIR}/split_ledgra.cmake)
set(CPACK_HALVO_LEDGRA_COMPONENT ${HALVO_LEDGRA_COMPONENT})
string(TOUPPER ${HALVO_LEDGRA_COMPONENT} _ledgra)
set(CPACK_COMPONENTS_ALL ${HALVO_ARDMON_COMPONENT} ${HALVO_LEDGRA_COMPONENT} libledgra-dev)

set(CPACK_COMPONENT_${_ledgra}_DESCRIPTION
  "table export library (text and Excel 97-2003 workbooks)\n Ledgra saves a table whose cells a program supplies through a callback,\n as comma-separated text or as a workbook, asking the user for the file.")
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_NAME libledgra${_ledgra_soversion})
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_SECTION libs)
# Saved workbooks are opened with the desktop's default program.
set(CPACK_DEBIAN_${_ledgra}_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_COMPONENT_LIBLEDGRA-DEV_DESCRIPTION
  "table export library - development files\n Headers, CMake package (find_package(Ledgra)) and pkg-config file\n for programs that use Ledgra.")
set(CPACK_COMPONENT_LIBLEDGRA-DEV_DEPENDS ${HALVO_LEDGRA_COMPONENT})
set(CPACK_DEBIAN_LIBLEDGRA-DEV_PACKAGE_NAME libledgra-dev)
set(CPACK_DEBIAN_LIBLEDGRA-DEV_PACKAGE_SECTION libdevel)

include(CPack)
