// Formats the description of a byte string with an embedded zero byte.
#include "base/nul_error.h"

#include "base/number_text.h"

namespace base {

std::string describe_nul_error(std::string_view bytes) {
    std::string out = "NulError(";
    out.reserve(out.size() + 24 + bytes.size() * 5);
    append_decimal(out, first_nul(bytes));
    out += ", [";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            out += ", ";
        }
        append_decimal(out, static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    }
    out += "])";
    return out;
}

}  // namespace base
