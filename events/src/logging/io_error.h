// Errors of stream operations, with the debug form that fatal reports show. Stream operations
// return them in a base::Result. Plain values.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace events {

enum class IoErrorKind {
    not_found,
    permission_denied,
    connection_refused,
    connection_reset,
    host_unreachable,
    network_unreachable,
    connection_aborted,
    not_connected,
    addr_in_use,
    addr_not_available,
    network_down,
    broken_pipe,
    already_exists,
    would_block,
    not_a_directory,
    is_a_directory,
    directory_not_empty,
    read_only_filesystem,
    filesystem_loop,
    stale_network_file_handle,
    invalid_input,
    timed_out,
    write_zero,
    storage_full,
    not_seekable,
    quota_exceeded,
    file_too_large,
    resource_busy,
    executable_file_busy,
    deadlock,
    crosses_devices,
    too_many_links,
    invalid_filename,
    argument_list_too_long,
    interrupted,
    unsupported,
    out_of_memory,
    in_progress,
    other,
    uncategorized,
};

// The kind's name as the debug form shows it, e.g. "BrokenPipe".
std::string_view kind_name(IoErrorKind kind);

// The kind of a system error number; numbers without a kind of their own are Uncategorized.
IoErrorKind kind_of_errno(int code);

class IoError {
  public:
    // A system error; its message is the system's text for the number.
    static IoError from_errno(int code);
    // An error with a fixed message, such as the failure of a write that took no bytes.
    static IoError simple(IoErrorKind kind, std::string_view message);
    // An error carrying a text of its own, such as a formatting failure.
    static IoError custom(IoErrorKind kind, std::string_view text);

    IoErrorKind kind() const { return kind_; }
    std::optional<int> os_code() const;

    // `Os { code: 32, kind: BrokenPipe, message: "Broken pipe" }`,
    // `Error { kind: WriteZero, message: "failed to write whole buffer" }` or
    // `Custom { kind: Other, error: "formatting error" }`.
    std::string debug_form() const;

    // As people read it: `Broken pipe (os error 32)`, or the fixed message or the text.
    std::string display_form() const;

  private:
    enum class Form { os, simple, custom };
    IoError(Form form, IoErrorKind kind, int code, std::string_view text)
        : form_(form), kind_(kind), code_(code), text_(text) {}

    Form form_;
    IoErrorKind kind_;
    int code_;
    std::string text_;
};

// The text of a write that took no bytes.
inline constexpr std::string_view kWriteZeroMessage = "failed to write whole buffer";

}  // namespace events
