# A Windows backend includes <windows.h> and the project's headers in one
# unit, in either order. Two units of every project header, one with the
# system's headers first and one with them last, prove that both orders
# compile: a port name the system defines as a macro, or a type declared
# differently, fails here rather than in the first backend that meets it.
file(GLOB_RECURSE KELVANE_HEADERS RELATIVE ${PROJECT_SOURCE_DIR}/src
     ${PROJECT_SOURCE_DIR}/src/*.h)
list(FILTER KELVANE_HEADERS EXCLUDE REGEX "^platform/linux/|^platform/PortNames")
set(system_headers winsock2.h ws2tcpip.h windows.h iphlpapi.h lm.h nb30.h wtsapi32.h sddl.h
    psapi.h wbemidl.h)
set(system_includes "")
foreach(header IN LISTS system_headers)
  string(APPEND system_includes "#include <${header}>\n")
endforeach()
set(project_includes "")
foreach(header IN LISTS KELVANE_HEADERS)
  string(APPEND project_includes "#include \"${header}\"\n")
endforeach()
set(check_dir ${CMAKE_BINARY_DIR}/header_check)
file(CONFIGURE OUTPUT ${check_dir}/system_first.cpp
     CONTENT "${system_includes}${project_includes}" @ONLY)
file(CONFIGURE OUTPUT ${check_dir}/system_last.cpp
     CONTENT "${project_includes}${system_includes}" @ONLY)
add_library(kelvane_windows_header_check OBJECT ${check_dir}/system_first.cpp
            ${check_dir}/system_last.cpp)
target_include_directories(kelvane_windows_header_check PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kelvane_windows_header_check PRIVATE kelvane_window kelvane_platform_fake
                      kelvane_platform_windows fmt::fmt-header-only)
target_compile_definitions(kelvane_windows_header_check PRIVATE SPDLOG_FMT_EXTERNAL)
