// Where a statement stands in the source: file (relative to the repository root), line and
// column. Like std::source_location, but also available where the compiler cannot provide
// that one (clang before 15 with libstdc++), so that every library builds with every compiler
// the project uses, the fuzzing build included.
#pragma once

#include <cstdint>
#if __has_include(<source_location>)
#include <source_location>
#endif

namespace base {

class SourceLocation {
  public:
    // The location of the call that evaluates this, also when used as a default argument.
#if defined(__clang__) && !__has_builtin(__builtin_source_location)
    static constexpr SourceLocation current(
        const char* file = __builtin_FILE(), std::uint_least32_t line = __builtin_LINE(),
        std::uint_least32_t column = __builtin_COLUMN()) noexcept {
        return SourceLocation(file, line, column);
    }
#else
    static constexpr SourceLocation current(
        std::source_location where = std::source_location::current()) noexcept {
        return SourceLocation(where.file_name(), where.line(), where.column());
    }
#endif

    constexpr const char* file_name() const noexcept {
        return file_;
    }
    constexpr std::uint_least32_t line() const noexcept {
        return line_;
    }
    constexpr std::uint_least32_t column() const noexcept {
        return column_;
    }

  private:
    constexpr SourceLocation(const char* file, std::uint_least32_t line,
                             std::uint_least32_t column) noexcept
        : file_(file), line_(line), column_(column) {}

    const char* file_;
    std::uint_least32_t line_;
    std::uint_least32_t column_;
};

}  // namespace base
