// Fuzzes the debug form of loader errors: "Some(" a quoted text ")", one line of printable
// text whose escapes read back to the error text exactly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "debug_string_reader.h"
#include "dynamic_loader/load_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzz::check;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string form = dynamic_loader::debug_form(dynamic_loader::LoadError(text));
    check(form.starts_with("Some(") && form.ends_with(")"));
    check(base::is_valid_utf8(form));
    const std::string_view quoted = std::string_view(form).substr(5, form.size() - 6);
    check(fuzz::read_debug_quoted(quoted) == base::to_utf8_lossy(text));
    check(dynamic_loader::debug_form(dynamic_loader::LoadError()) == "None");
    return 0;
}
