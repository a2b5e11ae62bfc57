# The logging engine's libraries for a cross build. Both work from their
# headers alone; the host's copies are taken into the build folder, since a
# cross build must never search the host's /usr/include (it would find the
# host's system headers before mingw's).
set(KELVANE_HOST_HEADERS /usr/include)
set(KELVANE_CROSS_HEADERS ${CMAKE_BINARY_DIR}/third_party/include)
foreach(library spdlog fmt)
  if(NOT EXISTS ${KELVANE_HOST_HEADERS}/${library})
    message(FATAL_ERROR "${KELVANE_HOST_HEADERS}/${library} is missing: install libspdlog-dev")
  endif()
  file(COPY ${KELVANE_HOST_HEADERS}/${library} DESTINATION ${KELVANE_CROSS_HEADERS})
endforeach()

add_library(fmt::fmt-header-only INTERFACE IMPORTED)
set_target_properties(fmt::fmt-header-only PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${KELVANE_CROSS_HEADERS}
  INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
