// Library and Symbol shares: what is opened, resolved and closed, and when. The test program's
// own dlclose counts the loader's closes and forwards to the system's.
#include "dynamic_loader/library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

#include "imp_constants.h"
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
    auto opened = Library::open(TEST_LIBRARY, false);
    EXPECT_TRUE(std::holds_alternative<Library>(opened));
    return std::get<Library>(std::move(opened));
}

TEST(Library, DefaultNamespaceResolvesAndIsNeverClosed) {
    EXPECT_EQ(dynamic_loader::imp::kDefaultHandle, RTLD_DEFAULT);
    closes.clear();
    {
        const Library library = Library::default_namespace();
        auto found = library.lookup<int(int)>("abs");
        ASSERT_TRUE((std::holds_alternative<Symbol<int(int)>>(found)));
        const auto& symbol = std::get<Symbol<int(int)>>(found);
        EXPECT_EQ(symbol(-7), 7);
        EXPECT_EQ(symbol.name(), "abs");
        EXPECT_EQ(library.share_count(), 2);

        auto missing = library.lookup<void()>("ownership_mender_no_such_symbol");
        ASSERT_TRUE(std::holds_alternative<LoadError>(missing));
        const auto& text = std::get<LoadError>(missing).text();
        ASSERT_TRUE(text.has_value());
        EXPECT_NE(text->find("ownership_mender_no_such_symbol"), std::string::npos) << *text;
        EXPECT_EQ(library.share_count(), 2) << "a failed look-up adds no share";
    }
    EXPECT_EQ(total_closes(), 0);
}

TEST(Library, NoLoadOpensOnlyWhatIsLoaded) {
    ASSERT_FALSE(test_library_loaded());
    auto refused = Library::open(TEST_LIBRARY, true);
    ASSERT_TRUE(std::holds_alternative<LoadError>(refused));
    EXPECT_FALSE(test_library_loaded());

    // Once loaded by someone else, the same call shares it.
    void* held = ::dlopen(TEST_LIBRARY, RTLD_LAZY);
    ASSERT_NE(held, nullptr);
    auto shared = Library::open(TEST_LIBRARY, true);
    EXPECT_TRUE(std::holds_alternative<Library>(shared));
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
            ASSERT_TRUE((std::holds_alternative<Symbol<int()>>(found)));
            answer = std::get<Symbol<int()>>(std::move(found));
            EXPECT_EQ(library.share_count(), 2);
        }
        EXPECT_EQ(total_closes(), 0) << "the Symbol still holds the library";
        EXPECT_EQ((*answer)(), 42);
        EXPECT_EQ(answer->library().share_count(), 1);
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
                    EXPECT_EQ(std::get<Symbol<int()>>(found)(), 42);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(library.share_count(), 1);
        EXPECT_EQ(total_closes(), 0);
    }
    EXPECT_EQ(total_closes(), 1);
    EXPECT_FALSE(test_library_loaded());
}

TEST(Library, NullAddressIsAnErrorWithoutText) {
    const Library library = open_test_library();
    auto found = library.lookup<void()>("loader_test_null_address");
    ASSERT_TRUE(std::holds_alternative<LoadError>(found));
    EXPECT_EQ(std::get<LoadError>(found).text(), std::nullopt);
}

TEST(Library, OpenErrorsCarryLossyText) {
    auto failed = Library::open("/nonexistent/lib\xff\xfe.so", false);
    ASSERT_TRUE(std::holds_alternative<LoadError>(failed));
    const auto& text = std::get<LoadError>(failed).text();
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("/nonexistent/lib\xEF\xBF\xBD\xEF\xBF\xBD.so"), std::string::npos)
        << *text;
}

TEST(Library, NulInNameIsFatal) {
    using namespace std::string_view_literals;
    const auto result = test_support::run_function([] { Library::open("ab\0c"sv, true); });
    EXPECT_EQ(result.exit_status, 101);
    EXPECT_NE(result.err.find(":\nUnable to construct name: NulError(2, [97, 98, 0, 99])\nnote: "),
              std::string::npos)
        << result.err;
}

}  // namespace
