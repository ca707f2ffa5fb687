// Building the system-call table in a process that does not link the system library: it is
// loaded by hand (globally, locally, or not at all) to steer where the table finds it. The
// test's own dlclose counts the closes the table causes.
#include "platform/syscalls.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <regex>

#include "dynamic_loader/testing.h"
#include "test_support/child_process.h"

namespace {

int closes = 0;

}  // namespace

extern "C" int dlclose(void* handle) noexcept {
    using Close = int (*)(void*);
    static const auto system_dlclose = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "dlclose"));
    ++closes;
    return system_dlclose(handle);
}

namespace {

using platform::Syscalls;

template <typename Function>
bool present(const std::optional<dynamic_loader::Symbol<Function>>& entry) {
    return entry.has_value();
}
template <typename Function>
bool present(const dynamic_loader::Symbol<Function>& /*required*/) {
    return true;
}

int count_present(const Syscalls& syscalls) {
    int count = 0;
#define OWNERSHIP_MENDER_COUNT(name) count += present(syscalls.name) ? 1 : 0;
    PLATFORM_FOR_EACH_ENTRY_POINT(OWNERSHIP_MENDER_COUNT)
#undef OWNERSHIP_MENDER_COUNT
    return count;
}

const std::string kProbeFailed =
    "[0-9:.]{12} ERRO main          \\[platform/src/platform_macos/syscalls\\.cpp:[0-9]+\\] "
    "event: load_syscall_find_default_broken, error: \"[^\"]*: undefined symbol: "
    "getattrlistat\"\n";

// Exit statuses of the children below: 0 when every check held, else the failed check's number.
TEST(Syscalls, EverythingInTheDefaultNamespace) {
    const auto result = test_support::run_function([] {
        if (::dlopen(SYSTEM_STANDIN, RTLD_NOW | RTLD_GLOBAL) == nullptr) {
            ::_exit(1);
        }
        {
            const Syscalls syscalls = Syscalls::create();
            if (count_present(syscalls) != 22) {
                ::_exit(2);
            }
            // Only the fields hold the library: one share each.
            if (share_count(syscalls.getattrlistat.library()) != 22) {
                ::_exit(3);
            }
            if ((*syscalls.setiopolicy_np)(3, 0, 1) != 0) {
                ::_exit(4);
            }
        }
        ::_exit(closes == 0 ? 0 : 5);
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST(Syscalls, LocallyLoadedLibraryIsOpenedAndClosedOnce) {
    const auto result = test_support::run_function([] {
        if (::dlopen(SYSTEM_STANDIN, RTLD_NOW | RTLD_LOCAL) == nullptr) {
            ::_exit(1);
        }
        std::optional<Syscalls> syscalls = Syscalls::create();
        if (count_present(*syscalls) != 22 || closes != 0) {
            ::_exit(2);
        }
        syscalls.reset();
        ::_exit(closes == 1 ? 0 : 3);
    });
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(kProbeFailed))) << result.out;
    EXPECT_EQ(result.err, "");
}

TEST(Syscalls, NoSystemLibraryIsFatal) {
    const auto result = test_support::run_function([] { Syscalls::create(); });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_TRUE(std::regex_match(result.out, std::regex(kProbeFailed))) << result.out;
    // The library is nowhere on the search path, so the loader says why it could not open it.
    EXPECT_NE(result.err.find(":\nCouldn't find libSystem, even after retry? Is the sky falling? "
                              "error: Some(\"libownership_mender_system.so: cannot open shared "
                              "object file: No such file or directory\")\nnote: "),
              std::string::npos)
        << result.err;
}

}  // namespace
