// Fuzzes the UTF-8 checks and the lossy conversion: the result is always valid, valid input
// comes back unchanged, each replaced sequence counts as one character, and the decoder agrees
// with an independent reading of the well-formed byte sequences.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf8.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Straightforward validity by code point: decodes, then rejects overlong forms, surrogates and
// values above U+10FFFF.
bool reference_valid(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        std::size_t length = 0;
        std::uint32_t value = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
        } else {
            return false;
        }
        if (at + length > bytes.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = value << 6 | (next & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        at += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool valid = base::is_valid_utf8(input);
    check(valid == reference_valid(input));
    const std::string lossy = base::to_utf8_lossy(input);
    check(base::is_valid_utf8(lossy));
    check(valid == (lossy == input));
    check(base::to_utf8_lossy(lossy) == lossy);
    check(base::count_characters(lossy) == base::count_characters(input));
    check(lossy.size() <= input.size() * 3);
    return 0;
}
