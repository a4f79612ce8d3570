# Builds Ardmon's Windows Installer package from packaging/ardmon.wxs with wixl
# (cmake -P, called by HalvoWindowsInstaller.cmake):
#
#   cmake -DWIXL=... -DMSIBUILD=... -DWXS=... -DVERSION=1.0.0 -DARDMON_EXE=... \
#         -DARDMON_CLI_EXE=... \
#         -DLEDGRA_DLL=... -DOUTPUT=.../Ardmon-1.0.0-x64.msi -P ArdmonMsi.cmake
#
# The upgrade code never changes, so every version replaces the one before it.
# The product code follows from the version: building the same version again
# gives the same product, which Windows then repairs rather than installing twice.
set(ARDMON_UPGRADE_CODE 5B0E7A36-3C41-4F0B-9D0A-6B9E2F7C1A42)

foreach(var WIXL MSIBUILD WXS VERSION ARDMON_EXE ARDMON_CLI_EXE LEDGRA_DLL OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ArdmonMsi.cmake: ${var} is not set")
  endif()
endforeach()

string(UUID product_code NAMESPACE ${ARDMON_UPGRADE_CODE} NAME "Ardmon ${VERSION} x64" TYPE SHA1 UPPER)

# wixl takes the files' Source paths relative to the folder it runs in.
set(stage ${OUTPUT}.stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY_FILE ${ARDMON_EXE} ${stage}/Ardmon.exe)
file(COPY_FILE ${ARDMON_CLI_EXE} ${stage}/ardmon-cli.exe)
file(COPY_FILE ${LEDGRA_DLL} ${stage}/ledgra.dll)

execute_process(
  COMMAND ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode={${product_code}}
          -D UpgradeCode={${ARDMON_UPGRADE_CODE}} -o ${OUTPUT}.part ${WXS}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl failed (${result})")
endif()

# What wixl cannot say itself: the terminal's folder passes from the client to
# the installing service (secure properties).
execute_process(
  COMMAND ${MSIBUILD} ${OUTPUT}.part -q
          "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;TERMINALDIR;SAVEDTERMINALDIR' WHERE `Property` = 'SecureCustomProperties'"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "msibuild failed (${result})")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
file(REMOVE_RECURSE ${stage})
