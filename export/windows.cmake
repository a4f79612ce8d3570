# Ledgra on Windows (MinGW-w64): ledgra.dll from the parts that are the same on
# both platforms, with the system's own registry, COM and dialogs where a part
# meets the operating system (the win32 folders). The stand-in application is
# not part of the library here: the real application registered as
# "Excel.Application" is driven through COM.
set(LEDGRA_SYSTEM_LIBS ole32 oleaut32 uuid comdlg32 user32 advapi32 shell32)

get_property(LEDGRA_PARTS GLOBAL PROPERTY LEDGRA_PARTS)
set(LEDGRA_PARTS ${LEDGRA_PARTS} CACHE INTERNAL "Ledgra's object libraries")

# The .xls writer belongs to the stand-in application, a test fixture here:
# not part of the library.
add_library(ledgra_xls OBJECT
  xls/Model.cpp xls/Text.cpp xls/Biff8.cpp xls/Records.cpp xls/GlobalsRecords.cpp xls/SstRecords.cpp
  xls/SheetRecords.cpp xls/SheetNames.cpp xls/PlainCompoundFile.cpp xls/win32/Save.cpp)
target_include_directories(ledgra_xls PUBLIC ${PROJECT_SOURCE_DIR}/export)

# ledgra.dll with its import library libledgra.dll.a, installed as on Linux
# (CMake package and ledgra.pc); no wxWidgets on Windows.
add_library(halvo_wx INTERFACE)
include(${CMAKE_CURRENT_SOURCE_DIR}/packaging/library.cmake)
set_target_properties(ledgra PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
target_link_libraries(ledgra PRIVATE ${LEDGRA_SYSTEM_LIBS})
target_link_options(ledgra PRIVATE -static)  # no MinGW runtime DLLs beside ledgra.dll

# The stand-in application (standin/CMakeLists.txt): a test fixture here.
if(HALVO_BUILD_TESTS OR HALVO_BUILD_BENCH)
  add_subdirectory(standin)
endif()

# ledgra.lib: the import library Visual C++'s linker reads, made from the
# same .def the DLL was linked with; installed beside libledgra.dll.a.
set(LEDGRA_MSVC_IMPORT_LIB ${CMAKE_CURRENT_BINARY_DIR}/ledgra.lib)
add_custom_command(OUTPUT ${LEDGRA_MSVC_IMPORT_LIB}
  COMMAND ${CMAKE_DLLTOOL} -d ${CMAKE_CURRENT_SOURCE_DIR}/packaging/ledgra.def -D ledgra.dll
          -l ${LEDGRA_MSVC_IMPORT_LIB}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/ledgra.def
  COMMENT "Import library for Visual C++: ledgra.lib")
add_custom_target(ledgra_msvc_import_lib ALL DEPENDS ${LEDGRA_MSVC_IMPORT_LIB})
install(FILES ${LEDGRA_MSVC_IMPORT_LIB} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/ledgra.def
  DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ledgra)

# The Windows package: ledgra.dll, the headers, both import libraries and the
# .def, the CMake package and ledgra.pc in one zip (./run package copies it
# out); the 64-bit one with Ardmon.exe in a folder of its own.
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
  add_dependencies(ledgra_windows_zip Ardmon)
endif()

if(HALVO_BUILD_TESTS)
  add_subdirectory(windows_tests)
endif()

if(HALVO_BUILD_BENCH)
  # bench_workbook_com.exe: WriteToExcel in-process and through COM (./run bench workbook).
  add_executable(bench_workbook_com ${PROJECT_SOURCE_DIR}/bench/workbook/bench_workbook_com.cpp)
  target_link_libraries(bench_workbook_com PRIVATE ${LEDGRA_PARTS} ledgra_standin ledgra_xls ${LEDGRA_SYSTEM_LIBS})
  target_include_directories(bench_workbook_com PRIVATE ${LEDGRA_INCLUDE_DIR} ${PROJECT_SOURCE_DIR}/export)
  target_compile_definitions(bench_workbook_com PRIVATE LEDGRA_BUILDING)
  target_link_options(bench_workbook_com PRIVATE -static)
  set_target_properties(bench_workbook_com PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(bench_workbook_com ledgra_standin_server)
endif()
