// UTF-8 decoding by the table of well-formed byte sequences (Unicode, table 3-7): overlong
// forms, surrogates and code points above U+10FFFF are invalid.
#include "base/utf8.h"

namespace base {
namespace {

bool in(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// Allowed range of the second byte for a given lead byte; the later bytes are 0x80..0xBF.
struct LeadRule {
    std::size_t length;
    unsigned char second_low;
    unsigned char second_high;
};

LeadRule rule_for(unsigned char lead) {
    if (lead < 0x80) {
        return {1, 0, 0};
    }
    if (in(lead, 0xC2, 0xDF)) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {3, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {3, 0x80, 0x9F};
    }
    if (in(lead, 0xE1, 0xEF)) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {4, 0x90, 0xBF};
    }
    if (in(lead, 0xF1, 0xF3)) {
        return {4, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {4, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

}  // namespace

std::size_t valid_sequence_length(std::string_view bytes, std::size_t* invalid_length) {
    std::size_t bad = 1;
    std::size_t good = 0;
    if (!bytes.empty()) {
        const LeadRule rule = rule_for(static_cast<unsigned char>(bytes[0]));
        std::size_t matched = rule.length == 0 ? 0 : 1;
        while (matched != 0 && matched < rule.length && matched < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[matched]);
            const bool fits =
                matched == 1 ? in(byte, rule.second_low, rule.second_high) : in(byte, 0x80, 0xBF);
            if (!fits) {
                break;
            }
            ++matched;
        }
        if (rule.length != 0 && matched == rule.length) {
            good = matched;
        } else {
            bad = matched == 0 ? 1 : matched;
        }
    }
    if (good == 0 && invalid_length != nullptr) {
        *invalid_length = bad;
    }
    return good;
}

bool is_valid_utf8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        // ASCII runs are the common case; skip them byte by byte without the table.
        if (static_cast<unsigned char>(bytes[at]) < 0x80) {
            ++at;
            continue;
        }
        const std::size_t length = valid_sequence_length(bytes.substr(at));
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string to_utf8_lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t invalid = 0;
        const std::size_t length = valid_sequence_length(bytes.substr(at), &invalid);
        if (length != 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            out.append(kReplacementCharacter);
            at += invalid;
        }
    }
    return out;
}

std::size_t count_characters(std::string_view bytes) {
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t invalid = 0;
        const std::size_t length = valid_sequence_length(bytes.substr(at), &invalid);
        at += length != 0 ? length : invalid;
        ++count;
    }
    return count;
}

char32_t decode_sequence(std::string_view sequence) {
    const auto byte = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(sequence[i]));
    };
    switch (sequence.size()) {
        case 1:
            return byte(0);
        case 2:
            return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3:
            return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        default:
            return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                   (byte(3) & 0x3F);
    }
}

void append_utf8(std::string& out, char32_t code_point) {
    if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
        out.append(kReplacementCharacter);
        return;
    }
    const auto byte = [](char32_t bits) {
        return static_cast<char>(static_cast<unsigned char>(bits));
    };
    if (code_point < 0x80) {
        out += byte(code_point);
    } else if (code_point < 0x800) {
        out += byte(0xC0 | (code_point >> 6));
        out += byte(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += byte(0xE0 | (code_point >> 12));
        out += byte(0x80 | ((code_point >> 6) & 0x3F));
        out += byte(0x80 | (code_point & 0x3F));
    } else {
        out += byte(0xF0 | (code_point >> 18));
        out += byte(0x80 | ((code_point >> 12) & 0x3F));
        out += byte(0x80 | ((code_point >> 6) & 0x3F));
        out += byte(0x80 | (code_point & 0x3F));
    }
}

}  // namespace base
