# Cross toolchain for the i686 Windows target. The posix thread flavour of
# mingw-w64 is used throughout (std::thread, std::mutex; winpthreads linked
# statically), matching how the dependencies are built by scripts/bootstrap.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_TRIPLE}-windres)
set(CMAKE_AR           ${TOOLCHAIN_TRIPLE}-ar)
set(CMAKE_RANLIB       ${TOOLCHAIN_TRIPLE}-ranlib)
set(CMAKE_OBJDUMP      ${TOOLCHAIN_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
