# Cross-compiling for Windows x86_64 with Debian's mingw-w64 GCC, posix
# threads (std::thread and std::mutex need them). Qt for mingw comes in
# through CMAKE_PREFIX_PATH; its tools (moc, rcc, uic) are the host's own Qt
# of the same version, through QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVANE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${KELVANE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${KELVANE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${KELVANE_MINGW}-windres)
set(CMAKE_AR /usr/bin/${KELVANE_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${KELVANE_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers, libraries and packages only from mingw's root and the prefixes
# given (Qt); never the host's /usr/include.
set(CMAKE_FIND_ROOT_PATH /usr/${KELVANE_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# Runs the cross-built test programs (ctest) under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
