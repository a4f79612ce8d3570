# Ardmon's Windows Installer package, Ardmon-<version>-x64.msi beside the zip,
# made by wixl (Debian's wixl and msitools) from packaging/ardmon.wxs. It holds
# Ardmon.exe and, as an optional feature, ledgra.dll; ./run package copies it out
# and the Windows stage installs, upgrades and removes it under wine. ardmon-cli.exe
# goes beside Ardmon.exe, in the same feature.
option(HALVO_WINDOWS_INSTALLER "Build Ardmon's .msi (needs wixl and msibuild: Debian's wixl, msitools)" ON)
if(NOT HALVO_WINDOWS_INSTALLER)
  return()
endif()
find_program(HALVO_WIXL wixl)
find_program(HALVO_MSIBUILD msibuild)
if(NOT HALVO_WIXL OR NOT HALVO_MSIBUILD)
  message(FATAL_ERROR "wixl and msibuild are needed for Ardmon's .msi (Debian packages wixl and msitools; "
                      "./run windows installs them), or configure with -DHALVO_WINDOWS_INSTALLER=OFF")
endif()

# halvo_ardmon_msi(<output .msi> <version>): a rule that builds the package of
# that version from the Ardmon and ledgra targets.
function(halvo_ardmon_msi output version)
  set(script ${PROJECT_SOURCE_DIR}/cmake/ArdmonMsi.cmake)
  set(wxs ${PROJECT_SOURCE_DIR}/packaging/ardmon.wxs)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DWIXL=${HALVO_WIXL} -DMSIBUILD=${HALVO_MSIBUILD} -DWXS=${wxs}
            -DVERSION=${version} -DARDMON_EXE=$<TARGET_FILE:Ardmon>
            -DARDMON_CLI_EXE=$<TARGET_FILE:ardmon-cli> -DLEDGRA_DLL=$<TARGET_FILE:ledgra>
            -DOUTPUT=${output} -P ${script}
    DEPENDS Ardmon ardmon-cli ledgra ${wxs} ${script}
    COMMENT "Packing ${output}"
    VERBATIM)
endfunction()

set(ARDMON_MSI ${CMAKE_BINARY_DIR}/Ardmon-${PROJECT_VERSION}-x64.msi)
halvo_ardmon_msi(${ARDMON_MSI} ${PROJECT_VERSION})
add_custom_target(ardmon_msi ALL DEPENDS ${ARDMON_MSI})

if(HALVO_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/packaging/tests ${CMAKE_BINARY_DIR}/packaging/tests)
endif()
