// Library and Symbol shares: what is opened, resolved and closed, and when. The test program's
// own dlclose counts the loader's closes and forwards to the system's.
#include "dynamic_loader/library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

#include "dynamic_loader/testing.h"
#include "imp/imp.h"
#include "test_support/child_process.h"

namespace {

std::map<void*, int> closes;

}  // namespace

// Declared as the system declares it: noexcept in glibc's header, not in macOS's.
extern "C" int dlclose(void* handle) noexcept(noexcept(::dlclose(handle))) {
    using Close = int (*)(void*);
    static const auto system_dlclose = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "dlclose"));
    ++closes[handle];
    return system_dlclose(handle);
}

namespace {

using dynamic_loader::Library;
using dynamic_loader::LoadError;
using dynamic_loader::Loading;
using dynamic_loader::Symbol;

bool test_library_loaded() {
    void* handle = ::dlopen(TEST_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    ::dlclose(handle);
    return true;
}

int total_closes() {
    int total = 0;
    for (const auto& [handle, count] : closes) {
        total += count;
    }
    return total;
}

Library open_test_library() {
    auto opened = Library::open(TEST_LIBRARY, Loading::load);
    EXPECT_TRUE(opened.ok());
    return std::move(opened).value();
}

TEST(Library, DefaultNamespaceResolvesAndIsNeverClosed) {
    EXPECT_EQ(dynamic_loader::imp::default_handle(), RTLD_DEFAULT);
    closes.clear();
    {
        const Library library = Library::default_namespace();
        auto found = library.lookup<int(int)>("abs");
        ASSERT_TRUE(found.ok());
        const Symbol<int(int)>& symbol = found.value();
        EXPECT_EQ(symbol(-7), 7);
        EXPECT_EQ(symbol.name(), "abs");
        EXPECT_EQ(share_count(library), 2);

        auto missing = library.lookup<void()>("ownership_mender_no_such_symbol");
        ASSERT_FALSE(missing.ok());
        const auto& text = missing.error().text();
        ASSERT_TRUE(text.has_value());
        EXPECT_NE(text->find("ownership_mender_no_such_symbol"), std::string::npos) << *text;
        EXPECT_EQ(share_count(library), 2) << "a failed look-up adds no share";
    }
    EXPECT_EQ(total_closes(), 0);
}

TEST(Library, NoLoadOpensOnlyWhatIsLoaded) {
    ASSERT_FALSE(test_library_loaded());
    auto refused = Library::open(TEST_LIBRARY, Loading::only_if_loaded);
    ASSERT_FALSE(refused.ok());
    EXPECT_FALSE(test_library_loaded());

    // Once loaded by someone else, the same call shares it.
    void* held = ::dlopen(TEST_LIBRARY, RTLD_LAZY);
    ASSERT_NE(held, nullptr);
    auto shared = Library::open(TEST_LIBRARY, Loading::only_if_loaded);
    EXPECT_TRUE(shared.ok());
    shared = LoadError();
    ::dlclose(held);
    EXPECT_FALSE(test_library_loaded());
}

TEST(Library, LastShareClosesExactlyOnce) {
    closes.clear();
    // The test keeps its own reference: a second close by the loader would unload the library
    // under it, and a missing close would keep it loaded after the test lets go.
    void* held = ::dlopen(TEST_LIBRARY, RTLD_LAZY);
    ASSERT_NE(held, nullptr);
    closes.clear();
    {
        std::optional<Symbol<int()>> answer;
        {
            Library library = open_test_library();
            auto found = library.lookup<int()>("loader_test_answer");
            ASSERT_TRUE(found.ok());
            answer = std::move(found).value();
            EXPECT_EQ(share_count(library), 2);
        }
        EXPECT_EQ(total_closes(), 0) << "the Symbol still holds the library";
        EXPECT_EQ((*answer)(), 42);
        EXPECT_EQ(share_count(answer->library()), 1);
    }
    EXPECT_EQ(total_closes(), 1);
    EXPECT_TRUE(test_library_loaded());
    ::dlclose(held);
    EXPECT_FALSE(test_library_loaded());
}

TEST(Library, SharesCountAcrossThreads) {
    closes.clear();
    {
        const Library library = open_test_library();
        std::vector<std::thread> threads;
        threads.reserve(4);
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([copy = library] {
                for (int j = 0; j < 1000; ++j) {
                    auto found = copy.lookup<int()>("loader_test_answer");
                    EXPECT_EQ(found.value()(), 42);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(share_count(library), 1);
        EXPECT_EQ(total_closes(), 0);
    }
    EXPECT_EQ(total_closes(), 1);
    EXPECT_FALSE(test_library_loaded());
}

TEST(Library, NullAddressIsAnErrorWithoutText) {
    const Library library = open_test_library();
    auto found = library.lookup<void()>("loader_test_null_address");
    ASSERT_FALSE(found.ok());
    EXPECT_EQ(found.error().text(), std::nullopt);
}

TEST(Library, OpenErrorsCarryLossyText) {
    auto failed = Library::open("/nonexistent/lib\xff\xfe.so", Loading::load);
    ASSERT_FALSE(failed.ok());
    const auto& text = failed.error().text();
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("/nonexistent/lib\xEF\xBF\xBD\xEF\xBF\xBD.so"), std::string::npos)
        << *text;
}

TEST(Library, NulInNameIsFatal) {
    using namespace std::string_view_literals;
    const auto result = test_support::run_function(
        [] { static_cast<void>(Library::open("ab\0c"sv, Loading::only_if_loaded)); });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_NE(result.err.find(":\nUnable to construct name: NulError(2, [97, 98, 0, 99])\nnote: "),
              std::string::npos)
        << result.err;
}

}  // namespace
