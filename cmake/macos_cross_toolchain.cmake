# Cross-compiles for macOS on Linux: Debian's clang 19 and ld64.lld against the SDK that
# scripts/macos-check assembles. Used by that script only; a build on a Mac needs no toolchain
# file. The caller sets CMAKE_OSX_SYSROOT (the assembled SDK) and CMAKE_OSX_ARCHITECTURES (one
# architecture: x86_64 or arm64); CMake hands both on to its own compiler checks.
set(CMAKE_SYSTEM_NAME Darwin)

if(NOT CMAKE_OSX_SYSROOT OR NOT CMAKE_OSX_ARCHITECTURES)
  message(FATAL_ERROR "set CMAKE_OSX_SYSROOT and CMAKE_OSX_ARCHITECTURES (see scripts/macos-check)")
endif()
if(CMAKE_OSX_ARCHITECTURES STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
elseif(CMAKE_OSX_ARCHITECTURES STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
else()
  message(FATAL_ERROR "one architecture, x86_64 or arm64, not '${CMAKE_OSX_ARCHITECTURES}'")
endif()

# No version in the triple: CMAKE_OSX_DEPLOYMENT_TARGET gives it (-mmacosx-version-min).
set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET ${CMAKE_SYSTEM_PROCESSOR}-apple-darwin)
set(CMAKE_CXX_COMPILER_TARGET ${CMAKE_SYSTEM_PROCESSOR}-apple-darwin)
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "")
set(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool-14 CACHE FILEPATH "")

# ld64.lld, which links Mach-O against the SDK's .tbd stubs; any warning of its own fails the
# link.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -Wl,-fatal_warnings")
endforeach()

# Headers, libraries and packages come from the SDK (and from prefixes the caller adds), never
# from the Linux system; programs run at build time are the host's.
set(CMAKE_FIND_ROOT_PATH "${CMAKE_OSX_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
