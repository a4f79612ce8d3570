# Ledgra on Windows (MinGW-w64): the parts that are the same on both platforms,
# with the Windows files where a part meets the operating system.
set(_x xls)
ledgra_part(xls
  ${_x}/Model.cpp ${_x}/Text.cpp ${_x}/Biff8.cpp
  ${_x}/PlainCompoundFile.cpp ${_x}/win32/Save.cpp)

if(HALVO_BUILD_TESTS)
  add_subdirectory(tests/windows)
endif()
