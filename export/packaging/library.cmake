# libledgra.so: all of Ledgra's parts in one shared library. Only the C
# interface of ledgra/ledgra.h is exported (ledgra.map on Linux, ledgra.def on
# Windows); the C++ headers are inline over it.
include(CMakePackageConfigHelpers)

add_library(ledgra SHARED)
add_library(Ledgra::ledgra ALIAS ledgra)
target_link_libraries(ledgra PRIVATE ${LEDGRA_PARTS} halvo_wx)
target_include_directories(ledgra PUBLIC
  $<BUILD_INTERFACE:${LEDGRA_INCLUDE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(ledgra PROPERTIES
  VERSION ${LEDGRA_VERSION}
  SOVERSION ${LEDGRA_VERSION_MAJOR}
  EXPORT_NAME ledgra
  LINKER_LANGUAGE CXX)
if(WIN32)
  target_link_options(ledgra PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ledgra.def)
  set_property(TARGET ledgra APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ledgra.def)
else()
  target_link_options(ledgra PRIVATE -Wl,--no-undefined -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/ledgra.map)
  set_property(TARGET ledgra APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ledgra.map)
endif()

set(LEDGRA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ledgra)

install(TARGETS ledgra EXPORT LedgraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ledgra NAMELINK_COMPONENT ledgra
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ledgra
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ledgra  # the import library on Windows
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
    ${LEDGRA_INCLUDE_DIR}/ledgra/ledgra.h
    ${LEDGRA_INCLUDE_DIR}/ledgra/LedgraInteraction.h
    ${LEDGRA_INCLUDE_DIR}/ledgra/LedgraInterface.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ledgra COMPONENT ledgra)
install(EXPORT LedgraTargets NAMESPACE Ledgra:: DESTINATION ${LEDGRA_CMAKE_DIR}
  COMPONENT ledgra)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/LedgraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/LedgraConfig.cmake
  INSTALL_DESTINATION ${LEDGRA_CMAKE_DIR})
# A program written for 1.x builds unchanged against 2.x (only the binary
# interface changed, and a build links the new one), so any newer version does.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LedgraConfigVersion.cmake
  VERSION ${LEDGRA_VERSION} COMPATIBILITY AnyNewerVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/LedgraConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/LedgraConfigVersion.cmake
  DESTINATION ${LEDGRA_CMAKE_DIR} COMPONENT ledgra)

# ledgra.pc finds its prefix relative to itself, so the tree can be installed
# anywhere with cmake --install --prefix.
file(RELATIVE_PATH LEDGRA_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" LEDGRA_PC_TO_PREFIX "${LEDGRA_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ledgra.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ledgra.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ledgra.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ledgra)
