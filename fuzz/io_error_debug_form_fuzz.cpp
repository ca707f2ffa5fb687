// Fuzzes the debug form of stream errors for every error number and for arbitrary texts: the
// fixed shape, the kind that belongs to the number, and a message that reads back exactly.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/utf8.h"
#include "debug_string_reader.h"
#include "io_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzz::check;
    int code = 0;
    std::memcpy(&code, data, std::min(size, sizeof code));
    const events::IoError os = events::IoError::from_errno(code);
    const std::string form = os.debug_form();
    const std::string prefix =
        "Os { code: " + std::to_string(code) +
        ", kind: " + std::string(events::kind_name(events::kind_of_errno(code))) + ", message: ";
    check(form.starts_with(prefix) && form.ends_with(" }"));
    check(base::is_valid_utf8(form));
    fuzz::read_debug_quoted(
        std::string_view(form).substr(prefix.size(), form.size() - prefix.size() - 2));
    check(os.os_code() == code);

    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string custom =
        events::IoError::custom(events::IoErrorKind::other, text).debug_form();
    const std::string custom_prefix = "Custom { kind: Other, error: ";
    check(custom.starts_with(custom_prefix) && custom.ends_with(" }"));
    check(fuzz::read_debug_quoted(std::string_view(custom).substr(
              custom_prefix.size(), custom.size() - custom_prefix.size() - 2)) ==
          base::to_utf8_lossy(text));
    return 0;
}
