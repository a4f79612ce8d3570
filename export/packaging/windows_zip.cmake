# ledgra.dll as Windows programs take it: no MinGW runtime DLLs beside it, its
# import library libledgra.dll.a and Visual C++'s ledgra.lib, installed as on
# Linux (CMake package and ledgra.pc), and the zip ./run package hands out.
set_target_properties(ledgra PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
target_link_libraries(ledgra PRIVATE ${LEDGRA_SYSTEM_LIBS})
target_link_options(ledgra PRIVATE -static)  # no MinGW runtime DLLs beside ledgra.dll

# ledgra.lib: the import library Visual C++'s linker reads, made from the
# same .def the DLL was linked with; installed beside libledgra.dll.a. LLVM's
# dlltool writes the short import format Microsoft's lib makes, which a 32-bit
# program linked with safe exception handlers accepts (GNU dlltool's members
# are refused there, and carry the build folder in their names).
find_program(LEDGRA_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_machine i386)
else()
  set(_machine i386:x86-64)
endif()
set(LEDGRA_MSVC_IMPORT_LIB ${CMAKE_CURRENT_BINARY_DIR}/ledgra.lib)
add_custom_command(OUTPUT ${LEDGRA_MSVC_IMPORT_LIB}
  COMMAND ${LEDGRA_LLVM_DLLTOOL} -m ${_machine} -d ${CMAKE_CURRENT_LIST_DIR}/ledgra.def -D ledgra.dll
          -l ${LEDGRA_MSVC_IMPORT_LIB}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ledgra.def
  COMMENT "Import library for Visual C++: ledgra.lib")
add_custom_target(ledgra_msvc_import_lib ALL DEPENDS ${LEDGRA_MSVC_IMPORT_LIB})
install(FILES ${LEDGRA_MSVC_IMPORT_LIB} ${CMAKE_CURRENT_LIST_DIR}/ledgra.def
  DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ledgra)

# The Windows package: ledgra.dll, the headers, both import libraries and the
# .def, the CMake package and ledgra.pc in one zip (./run package copies it
# out); the 64-bit one with Ardmon.exe and ardmon-cli.exe in a folder of their own.
set(_stage ${CMAKE_BINARY_DIR}/zip-stage)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LEDGRA_ZIP_NAME ledgra-${LEDGRA_VERSION}-win32)
  set(_ardmon)
else()
  set(LEDGRA_ZIP_NAME ledgra-${LEDGRA_VERSION}-win64)
  set(_ardmon COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --component ardmon_windows
                      --prefix ${_stage}/${LEDGRA_ZIP_NAME})
endif()
set(LEDGRA_ZIP ${CMAKE_BINARY_DIR}/${LEDGRA_ZIP_NAME}.zip)
add_custom_target(ledgra_windows_zip ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --component ledgra --prefix ${_stage}/${LEDGRA_ZIP_NAME}
  ${_ardmon}
  COMMAND ${CMAKE_COMMAND} -E chdir ${_stage} ${CMAKE_COMMAND} -E tar cf ${LEDGRA_ZIP} --format=zip ${LEDGRA_ZIP_NAME}
  DEPENDS ledgra ledgra_msvc_import_lib
  COMMENT "Packing ${LEDGRA_ZIP_NAME}.zip")
if(_ardmon)
  add_dependencies(ledgra_windows_zip Ardmon ardmon-cli)
endif()
