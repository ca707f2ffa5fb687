// Whole writes, by the rules every writer of the program follows: a short write is continued,
// an interrupted one is tried again, and one that takes no bytes fails (retrying it could go on
// for ever). The fatal report keeps its own vectored loop, which must not allocate.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace base {

// Writes all of bytes through write_some, which writes a prefix of its argument and returns a
// Result<std::size_t, Error>: the number of bytes taken, or why none were. Errors for which
// is_interrupted holds are retried; a write that takes nothing ends with took_nothing().
template <typename Error, typename WriteSome, typename IsInterrupted, typename TookNothing>
Result<void, Error> write_all(std::string_view bytes, WriteSome&& write_some,
                              IsInterrupted&& is_interrupted, TookNothing&& took_nothing) {
    while (!bytes.empty()) {
        Result<std::size_t, Error> written = write_some(bytes);
        if (!written.ok()) {
            if (is_interrupted(written.error())) {
                continue;
            }
            return std::move(written).error();
        }
        if (written.value() == 0) {
            return took_nothing();
        }
        bytes.remove_prefix(written.value());
    }
    return {};
}

// Why a whole write to a descriptor stopped: the system's error number, or 0 when a write took
// no bytes; and how many bytes had gone out before.
struct WriteFailure {
    int error_number = 0;
    std::size_t written = 0;
};

// Writes all of bytes to fd with the system's write.
Result<void, WriteFailure> write_all(int fd, std::string_view bytes);

}  // namespace base
