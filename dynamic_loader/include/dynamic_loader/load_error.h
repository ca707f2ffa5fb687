// The error of opening a library or resolving an entry point: the loader's message, if it gave
// one. An absent message differs from an empty one. Plain value; safe to move between threads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dynamic_loader {

class LoadError {
  public:
    LoadError() = default;
    explicit LoadError(std::optional<std::string> text) : text_(std::move(text)) {}

    // From the loader's raw message: null gives no text; invalid UTF-8 sequences become U+FFFD.
    static LoadError from_platform_text(const char* text);

    const std::optional<std::string>& text() const { return text_; }
    bool operator==(const LoadError&) const = default;

  private:
    std::optional<std::string> text_;
};

// The debug form used in fatal messages: "None", or "Some(" the quoted text ")" with quote,
// backslash, tab, carriage return, line feed and NUL as backslash escapes and every other
// non-printable character as \u{HEX}.
std::string debug_form(const LoadError& error);

}  // namespace dynamic_loader
