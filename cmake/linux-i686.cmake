# The platform-free code and its unit tests as a 32-bit x86 Linux program,
# run under qemu-i386 (user-mode emulation). The compiler makes the same
# 32-bit code as for the 32-bit Windows program (i686, no SSE2 unless the
# run-time CPU check picks it), so 32-bit bounds, structure sizes and the
# SSE2 dispatch are tested on machines whose kernel cannot run 32-bit
# programs, and so cannot run 32-bit Wine either.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# 64-bit time_t and file offsets, as the Windows program has (_mktime64).
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static-libstdc++ -static-libgcc")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386;-L;/)
# Debian ships GoogleTest built for the machine's own width only.
set(TANSY_GTEST_SOURCE /usr/src/googletest)
