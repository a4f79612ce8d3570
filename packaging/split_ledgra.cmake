# CPack pre-build script: when Ledgra installs everything as one component, its
# development files (headers, the unversioned .so link, the CMake package and
# the pkg-config file) and its copyright file and changelog move from that component's staging tree to libledgra-dev's.
set(_root "${CPACK_TEMPORARY_DIRECTORY}")
set(_from "${_root}/${CPACK_HALVO_LEDGRA_COMPONENT}")
set(_to "${_root}/libledgra-dev")
if(NOT IS_DIRECTORY "${_from}")
  message(FATAL_ERROR "no staging tree ${_from}")
endif()
file(GLOB_RECURSE _files LIST_DIRECTORIES false RELATIVE "${_from}" "${_from}/*")
foreach(f IN LISTS _files)
  if(f MATCHES "/include/|/cmake/|/pkgconfig/|/libledgra\\.so$|/doc/libledgra-dev/")
    get_filename_component(_dir "${_to}/${f}" DIRECTORY)
    file(MAKE_DIRECTORY "${_dir}")
    file(RENAME "${_from}/${f}" "${_to}/${f}")
  endif()
endforeach()

# Drop the folders that the move left empty, deepest first.
file(GLOB_RECURSE _dirs LIST_DIRECTORIES true "${_from}/*")
list(SORT _dirs ORDER DESCENDING)
foreach(d IN LISTS _dirs)
  if(IS_DIRECTORY "${d}")
    file(GLOB _left "${d}/*")
    if(NOT _left)
      file(REMOVE_RECURSE "${d}")
    endif()
  endif()
endforeach()
