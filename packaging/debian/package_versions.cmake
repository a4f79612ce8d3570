# CPack's project configuration for the Debian packages: each package carries
# the version of its deliverable (CPACK_HALVO_VERSION_<component>, set from
# CMakeLists.txt). CPackDeb takes one version for all packages; it reads
# CPACK_DEB_PACKAGE_COMPONENT first when it prepares each package, and this
# watch sets that package's version in the same scope before it is used.
macro(halvo_deb_package_version variable access component)
  if(DEFINED CPACK_HALVO_VERSION_${component})
    set(CPACK_DEBIAN_PACKAGE_VERSION "${CPACK_HALVO_VERSION_${component}}")
  endif()
endmacro()
if(CPACK_GENERATOR STREQUAL "DEB")
  variable_watch(CPACK_DEB_PACKAGE_COMPONENT halvo_deb_package_version)
endif()
