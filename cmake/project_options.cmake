# Settings shared by every target: warnings, reproducible source paths, sanitizers, and the
# helper that registers a library's tests.

# One interface target carries the warning set; every target of the project links it.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wconversion -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wnull-dereference
  -Wimplicit-fallthrough -Wformat=2
  # g++ 12 at -O2 and above warns of overlapping copies inside libstdc++'s own string
  # concatenation ("(" + std::to_string(n)), a false positive mended in g++ 13 (GCC bug 105651).
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)

# Source paths compiled into the program (fatal reports, log locations) are relative to the
# repository root, whatever directory the build runs in.
add_compile_options(
  "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
  "-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")

# Hardening for every build of the program: it runs as root on trees that others may write.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection)
  add_link_options(LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
  # Fortified libc calls need optimisation, and sanitizers replace those calls themselves.
  if(NOT OWNERSHIP_MENDER_SANITIZE)
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>")
  endif()
endif()

if(OWNERSHIP_MENDER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(OWNERSHIP_MENDER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Link feature "no_as_needed": keeps a library in the program's dependencies even when no
# symbol of it is referenced directly (libraries found by name at run time).
set(CMAKE_LINK_LIBRARY_USING_no_as_needed
    "LINKER:--push-state,--no-as-needed" "<LINK_ITEM>" "LINKER:--pop-state")
set(CMAKE_LINK_LIBRARY_USING_no_as_needed_SUPPORTED TRUE)

# om_add_test(NAME SOURCES... LIBRARIES... [TEST_PREFIX PREFIX]) builds one GoogleTest program
# and registers its tests with CTest, their names prefixed with PREFIX when one is given (two
# programs built from the same tests need distinct names). Tests run with a clean, fixed
# environment where it matters; each test program decides that itself.
function(om_add_test name)
  cmake_parse_arguments(ARG "" "TEST_PREFIX" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} test_support GTest::gtest GTest::gtest_main
                                        project_warnings)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${ARG_TEST_PREFIX}"
                       PROPERTIES TIMEOUT 120)
endfunction()
