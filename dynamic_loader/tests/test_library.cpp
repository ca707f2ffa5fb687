// A library for the loader's tests: one ordinary entry point, and one whose address is zero.
extern "C" int loader_test_answer() {
    return 42;
}

// An absolute symbol of value 0: the loader finds it, yet its address is null.
asm(".globl loader_test_null_address\n.set loader_test_null_address, 0\n");
