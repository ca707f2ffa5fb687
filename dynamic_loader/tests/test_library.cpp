// A library for the loader's tests: one ordinary entry point, and one whose address is zero.
extern "C" int loader_test_answer() {
    return 42;
}

// An absolute symbol of value 0: the loader finds it, yet its address is null. In assembly the
// name takes the platform's prefix of C names: none on Linux, "_" on macOS.
#define LOADER_TEST_TEXT(x) #x
#define LOADER_TEST_PREFIX(prefix) LOADER_TEST_TEXT(prefix)
#define LOADER_TEST_NULL_ADDRESS \
    LOADER_TEST_PREFIX(__USER_LABEL_PREFIX__) "loader_test_null_address"
asm(".globl " LOADER_TEST_NULL_ADDRESS "\n.set " LOADER_TEST_NULL_ADDRESS ", 0\n");
