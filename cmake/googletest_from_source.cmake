# GoogleTest built from source with the project's own compile options, sanitizers included: on
# macOS a GoogleTest built without AddressSanitizer (Homebrew's) gives false container-overflow
# reports, since libc++ annotates its containers for AddressSanitizer only in instrumented code.
# The source is GoogleTest's release 1.12.1, the one Debian 12's libgtest-dev is built from:
# Debian's copy of the release archive first, then GitHub's archive of the tag. Both must have
# the SHA-256 below, which is the one Debian's signed source index gives for that file.
include(FetchContent)
FetchContent_Declare(googletest
  URL https://deb.debian.org/debian/pool/main/g/googletest/googletest_1.12.1.orig.tar.gz
      https://github.com/google/googletest/archive/refs/tags/release-1.12.1.tar.gz
  URL_HASH SHA256=81964fe578e9bd7c94dfdb09c8e4d6e6759e19967e397dbea48d1c10e45d0df2)
set(BUILD_GMOCK OFF CACHE BOOL "GoogleTest's mocking library: the tests do not use it")
set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest with the project: never")
FetchContent_MakeAvailable(googletest)
