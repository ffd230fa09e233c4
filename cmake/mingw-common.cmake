# The part of the cross build for Windows that both architectures share; the
# toolchain files set UPDATER_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
# Debian's mingw-w64 with the POSIX thread model.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${UPDATER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPDATER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UPDATER_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${UPDATER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: the C and C++ runtimes, winpthread and zlib are
# all linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# -static alone does not help when find_package(ZLIB) hands the linker the DLL's
# import library: ask for the archive.
set(ZLIB_USE_STATIC_LIBS ON)
