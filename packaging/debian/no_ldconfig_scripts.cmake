# CPack post-build script: CPackDeb gives every package with a library under
# /usr/lib a postinst and a postrm that run ldconfig. Debian packages leave
# that to dpkg's ldconfig trigger (the library package's "triggers" file), so
# those two scripts are taken out of the packages again.
find_program(_dpkg_deb dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(_tree "${deb}.tree")
  file(REMOVE_RECURSE "${_tree}")
  execute_process(COMMAND ${_dpkg_deb} -R "${deb}" "${_tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(_changed FALSE)
  foreach(script postinst postrm)
    set(_file "${_tree}/DEBIAN/${script}")
    if(EXISTS "${_file}")
      file(READ "${_file}" _text)
      if(NOT _text MATCHES "ldconfig")
        message(FATAL_ERROR "${deb}: ${script} does more than run ldconfig")
      endif()
      file(REMOVE "${_file}")
      set(_changed TRUE)
    endif()
  endforeach()
  if(_changed)
    execute_process(COMMAND ${_dpkg_deb} --root-owner-group -Zgzip -b "${_tree}" "${deb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${_tree}")
endforeach()
