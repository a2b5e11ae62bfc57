cmake_minimum_required(VERSION 3.25)
# Puts the Windows zip together (cmake -P; the variables come from
# WindowsPackage.cmake). Only what the programs load goes in: Qt's Core, Gui
# and Widgets, the windows platform and the Vista style (PNG, the only
# picture format the program reads, is built into Qt Gui), and the
# compiler's runtime. Qt finds the plugins in the folders beside the
# program, so no qt.conf is needed.
string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "|" ";" RUNTIME "${RUNTIME}")
set(root "${STAGE}/${NAME}")
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${root}/platforms" "${root}/styles")

# The build keeps its debugging information; the user's copy needs none.
function(take file folder)
  get_filename_component(name "${file}" NAME)
  execute_process(COMMAND "${STRIP}" --strip-debug -o "${folder}/${name}" "${file}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Could not copy ${file}")
  endif()
endfunction()

foreach(file IN LISTS PROGRAMS RUNTIME)
  if(file)
    take("${file}" "${root}")
  endif()
endforeach()
foreach(library Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll)
  take("${QT}/bin/${library}" "${root}")
endforeach()
take("${QT}/plugins/platforms/qwindows.dll" "${root}/platforms")
take("${QT}/plugins/styles/qwindowsvistastyle.dll" "${root}/styles")

# A Windows text: CR LF line ends, as Notepad has always wanted them.
file(READ "${README}" text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${root}/README.txt" "${text}")

file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${NAME}"
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Could not write ${ZIP}")
endif()
file(REMOVE_RECURSE "${STAGE}")
