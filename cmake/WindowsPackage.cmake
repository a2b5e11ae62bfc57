# The zip a Windows user unpacks anywhere and runs: the two programs, the Qt
# libraries and plugins they load, the compiler's runtime libraries and a
# short README, in one folder named after the version. Built with the
# programs (`make windows`); WindowsZip.cmake puts it together.
get_filename_component(KELVANE_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
set(KELVANE_ZIP_NAME kelvane-${PROJECT_VERSION}-windows-x86_64)
set(KELVANE_ZIP ${CMAKE_BINARY_DIR}/${KELVANE_ZIP_NAME}.zip)

# Where the compiler keeps the runtime libraries its programs import.
set(KELVANE_RUNTIME_DLLS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The compiler does not know where ${dll} is")
  endif()
  get_filename_component(path "${path}" REALPATH)
  string(APPEND KELVANE_RUNTIME_DLLS "${path}|")
endforeach()

add_custom_command(OUTPUT ${KELVANE_ZIP}
  COMMAND ${CMAKE_COMMAND}
    -DNAME=${KELVANE_ZIP_NAME}
    -DZIP=${KELVANE_ZIP}
    -DSTAGE=${CMAKE_BINARY_DIR}/zip-stage
    -DPROGRAMS=$<TARGET_FILE:kelvane-window>|$<TARGET_FILE:kelvane>
    -DQT=${KELVANE_QT_PREFIX}
    -DRUNTIME=${KELVANE_RUNTIME_DLLS}
    -DREADME=${PROJECT_SOURCE_DIR}/data/windows/README.txt
    -DVERSION=${PROJECT_VERSION}
    -DSTRIP=${CMAKE_STRIP}
    -P ${CMAKE_CURRENT_LIST_DIR}/WindowsZip.cmake
  DEPENDS kelvane kelvane-window ${CMAKE_CURRENT_LIST_DIR}/WindowsZip.cmake
          ${PROJECT_SOURCE_DIR}/data/windows/README.txt
  COMMENT "Packing ${KELVANE_ZIP_NAME}.zip"
  VERBATIM)
add_custom_target(kelvane_zip ALL DEPENDS ${KELVANE_ZIP})
