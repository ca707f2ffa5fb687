// Stream errors: kinds of system error numbers, system messages, the debug and display forms.
#include "io_error.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "base/debug_string.h"
#include "base/number_text.h"

namespace events {
namespace {

// strerror_r comes in two shapes (returning int or char*); these take either result.
[[maybe_unused]] std::string message_from(int result, const char* buffer, int code) {
    if (result == 0) {
        return buffer;
    }
    std::string message = "Unknown error ";
    base::append_decimal(message, code);
    return message;
}

[[maybe_unused]] std::string message_from(const char* result, const char* /*buffer*/,
                                          int /*code*/) {
    return result;
}

std::string system_message(int code) {
    char buffer[256] = {};
    return message_from(::strerror_r(code, buffer, sizeof buffer), buffer, code);
}

// Every kind, in the order of IoErrorKind, with the name its debug form shows and the system
// error numbers that have it (EAGAIN and EWOULDBLOCK may be one number).
struct KindInfo {
    IoErrorKind kind;
    std::string_view name;
    std::array<int, 2> error_numbers;  // 0: none
};

constexpr KindInfo kKinds[] = {
    {IoErrorKind::not_found, "NotFound", {ENOENT}},
    {IoErrorKind::permission_denied, "PermissionDenied", {EACCES, EPERM}},
    {IoErrorKind::connection_refused, "ConnectionRefused", {ECONNREFUSED}},
    {IoErrorKind::connection_reset, "ConnectionReset", {ECONNRESET}},
    {IoErrorKind::host_unreachable, "HostUnreachable", {EHOSTUNREACH}},
    {IoErrorKind::network_unreachable, "NetworkUnreachable", {ENETUNREACH}},
    {IoErrorKind::connection_aborted, "ConnectionAborted", {ECONNABORTED}},
    {IoErrorKind::not_connected, "NotConnected", {ENOTCONN}},
    {IoErrorKind::addr_in_use, "AddrInUse", {EADDRINUSE}},
    {IoErrorKind::addr_not_available, "AddrNotAvailable", {EADDRNOTAVAIL}},
    {IoErrorKind::network_down, "NetworkDown", {ENETDOWN}},
    {IoErrorKind::broken_pipe, "BrokenPipe", {EPIPE}},
    {IoErrorKind::already_exists, "AlreadyExists", {EEXIST}},
    {IoErrorKind::would_block, "WouldBlock", {EAGAIN, EWOULDBLOCK}},
    {IoErrorKind::not_a_directory, "NotADirectory", {ENOTDIR}},
    {IoErrorKind::is_a_directory, "IsADirectory", {EISDIR}},
    {IoErrorKind::directory_not_empty, "DirectoryNotEmpty", {ENOTEMPTY}},
    {IoErrorKind::read_only_filesystem, "ReadOnlyFilesystem", {EROFS}},
    {IoErrorKind::filesystem_loop, "FilesystemLoop", {ELOOP}},
    {IoErrorKind::stale_network_file_handle, "StaleNetworkFileHandle", {ESTALE}},
    {IoErrorKind::invalid_input, "InvalidInput", {EINVAL}},
    {IoErrorKind::timed_out, "TimedOut", {ETIMEDOUT}},
    {IoErrorKind::write_zero, "WriteZero", {}},
    {IoErrorKind::storage_full, "StorageFull", {ENOSPC}},
    {IoErrorKind::not_seekable, "NotSeekable", {ESPIPE}},
    {IoErrorKind::quota_exceeded, "QuotaExceeded", {EDQUOT}},
    {IoErrorKind::file_too_large, "FileTooLarge", {EFBIG}},
    {IoErrorKind::resource_busy, "ResourceBusy", {EBUSY}},
    {IoErrorKind::executable_file_busy, "ExecutableFileBusy", {ETXTBSY}},
    {IoErrorKind::deadlock, "Deadlock", {EDEADLK}},
    {IoErrorKind::crosses_devices, "CrossesDevices", {EXDEV}},
    {IoErrorKind::too_many_links, "TooManyLinks", {EMLINK}},
    {IoErrorKind::invalid_filename, "InvalidFilename", {ENAMETOOLONG}},
    {IoErrorKind::argument_list_too_long, "ArgumentListTooLong", {E2BIG}},
    {IoErrorKind::interrupted, "Interrupted", {EINTR}},
    {IoErrorKind::unsupported, "Unsupported", {ENOSYS}},
    {IoErrorKind::out_of_memory, "OutOfMemory", {ENOMEM}},
    {IoErrorKind::in_progress, "InProgress", {EINPROGRESS}},
    {IoErrorKind::other, "Other", {}},
    {IoErrorKind::uncategorized, "Uncategorized", {}},
};

constexpr bool in_kind_order() {
    for (std::size_t at = 0; at < std::size(kKinds); ++at) {
        if (static_cast<std::size_t>(kKinds[at].kind) != at) {
            return false;
        }
    }
    return std::size(kKinds) == static_cast<std::size_t>(IoErrorKind::uncategorized) + 1;
}
static_assert(in_kind_order());

}  // namespace

std::string_view kind_name(IoErrorKind kind) {
    return kKinds[static_cast<std::size_t>(kind)].name;
}

IoErrorKind kind_of_errno(int code) {
    for (const KindInfo& info : kKinds) {
        for (const int number : info.error_numbers) {
            if (number == code && code != 0) {
                return info.kind;
            }
        }
    }
    return IoErrorKind::uncategorized;
}

IoError IoError::from_errno(int code) {
    return IoError(Form::os, kind_of_errno(code), code, {});
}

IoError IoError::simple(IoErrorKind kind, std::string_view message) {
    return IoError(Form::simple, kind, 0, message);
}

IoError IoError::custom(IoErrorKind kind, std::string_view text) {
    return IoError(Form::custom, kind, 0, text);
}

std::optional<int> IoError::os_code() const {
    if (form_ == Form::os) {
        return code_;
    }
    return std::nullopt;
}

std::string IoError::debug_form() const {
    std::string out;
    if (form_ == Form::os) {
        out = "Os { code: ";
        base::append_decimal(out, code_);
        out += ", kind: ";
        out += kind_name(kind_);
        out += ", message: ";
        out += base::debug_quoted(system_message(code_));
    } else {
        const bool simple = form_ == Form::simple;
        out = simple ? "Error { kind: " : "Custom { kind: ";
        out += kind_name(kind_);
        out += simple ? ", message: " : ", error: ";
        out += base::debug_quoted(text_);
    }
    out += " }";
    return out;
}

std::string IoError::display_form() const {
    if (form_ != Form::os) {
        return text_;
    }
    std::string out = system_message(code_);
    out += " (os error ";
    base::append_decimal(out, code_);
    out += ")";
    return out;
}

}  // namespace events
