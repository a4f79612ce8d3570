# CMake 3.25 has no imported wxWidgets target: wrap what FindwxWidgets reports
# in one INTERFACE library that the GUI targets link.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
add_library(halvo_wx INTERFACE)
target_include_directories(halvo_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(halvo_wx INTERFACE ${wxWidgets_DEFINITIONS})
separate_arguments(_halvo_wx_cxx_flags UNIX_COMMAND "${wxWidgets_CXX_FLAGS}")
target_compile_options(halvo_wx INTERFACE ${_halvo_wx_cxx_flags})
target_link_libraries(halvo_wx INTERFACE ${wxWidgets_LIBRARIES})
