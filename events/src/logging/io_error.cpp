// Stream errors: kinds of system error numbers, system messages and the debug form.
#include "io_error.h"

#include <cerrno>
#include <cstring>

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

}  // namespace

std::string_view kind_name(IoErrorKind kind) {
    switch (kind) {
        case IoErrorKind::not_found:
            return "NotFound";
        case IoErrorKind::permission_denied:
            return "PermissionDenied";
        case IoErrorKind::connection_refused:
            return "ConnectionRefused";
        case IoErrorKind::connection_reset:
            return "ConnectionReset";
        case IoErrorKind::host_unreachable:
            return "HostUnreachable";
        case IoErrorKind::network_unreachable:
            return "NetworkUnreachable";
        case IoErrorKind::connection_aborted:
            return "ConnectionAborted";
        case IoErrorKind::not_connected:
            return "NotConnected";
        case IoErrorKind::addr_in_use:
            return "AddrInUse";
        case IoErrorKind::addr_not_available:
            return "AddrNotAvailable";
        case IoErrorKind::network_down:
            return "NetworkDown";
        case IoErrorKind::broken_pipe:
            return "BrokenPipe";
        case IoErrorKind::already_exists:
            return "AlreadyExists";
        case IoErrorKind::would_block:
            return "WouldBlock";
        case IoErrorKind::not_a_directory:
            return "NotADirectory";
        case IoErrorKind::is_a_directory:
            return "IsADirectory";
        case IoErrorKind::directory_not_empty:
            return "DirectoryNotEmpty";
        case IoErrorKind::read_only_filesystem:
            return "ReadOnlyFilesystem";
        case IoErrorKind::filesystem_loop:
            return "FilesystemLoop";
        case IoErrorKind::stale_network_file_handle:
            return "StaleNetworkFileHandle";
        case IoErrorKind::invalid_input:
            return "InvalidInput";
        case IoErrorKind::timed_out:
            return "TimedOut";
        case IoErrorKind::write_zero:
            return "WriteZero";
        case IoErrorKind::storage_full:
            return "StorageFull";
        case IoErrorKind::not_seekable:
            return "NotSeekable";
        case IoErrorKind::quota_exceeded:
            return "QuotaExceeded";
        case IoErrorKind::file_too_large:
            return "FileTooLarge";
        case IoErrorKind::resource_busy:
            return "ResourceBusy";
        case IoErrorKind::executable_file_busy:
            return "ExecutableFileBusy";
        case IoErrorKind::deadlock:
            return "Deadlock";
        case IoErrorKind::crosses_devices:
            return "CrossesDevices";
        case IoErrorKind::too_many_links:
            return "TooManyLinks";
        case IoErrorKind::invalid_filename:
            return "InvalidFilename";
        case IoErrorKind::argument_list_too_long:
            return "ArgumentListTooLong";
        case IoErrorKind::interrupted:
            return "Interrupted";
        case IoErrorKind::unsupported:
            return "Unsupported";
        case IoErrorKind::out_of_memory:
            return "OutOfMemory";
        case IoErrorKind::in_progress:
            return "InProgress";
        case IoErrorKind::other:
            return "Other";
        case IoErrorKind::uncategorized:
            return "Uncategorized";
    }
    return "Uncategorized";
}

IoErrorKind kind_of_errno(int code) {
    // EAGAIN and EWOULDBLOCK may be the same number, so they cannot both be switch labels.
    if (code == EAGAIN || code == EWOULDBLOCK) {
        return IoErrorKind::would_block;
    }
    switch (code) {
        case E2BIG:
            return IoErrorKind::argument_list_too_long;
        case EADDRINUSE:
            return IoErrorKind::addr_in_use;
        case EADDRNOTAVAIL:
            return IoErrorKind::addr_not_available;
        case EBUSY:
            return IoErrorKind::resource_busy;
        case ECONNABORTED:
            return IoErrorKind::connection_aborted;
        case ECONNREFUSED:
            return IoErrorKind::connection_refused;
        case ECONNRESET:
            return IoErrorKind::connection_reset;
        case EDEADLK:
            return IoErrorKind::deadlock;
        case EDQUOT:
            return IoErrorKind::quota_exceeded;
        case EEXIST:
            return IoErrorKind::already_exists;
        case EFBIG:
            return IoErrorKind::file_too_large;
        case EHOSTUNREACH:
            return IoErrorKind::host_unreachable;
        case EINTR:
            return IoErrorKind::interrupted;
        case EINVAL:
            return IoErrorKind::invalid_input;
        case EISDIR:
            return IoErrorKind::is_a_directory;
        case ELOOP:
            return IoErrorKind::filesystem_loop;
        case ENOENT:
            return IoErrorKind::not_found;
        case ENOMEM:
            return IoErrorKind::out_of_memory;
        case ENOSPC:
            return IoErrorKind::storage_full;
        case ENOSYS:
            return IoErrorKind::unsupported;
        case EMLINK:
            return IoErrorKind::too_many_links;
        case ENAMETOOLONG:
            return IoErrorKind::invalid_filename;
        case ENETDOWN:
            return IoErrorKind::network_down;
        case ENETUNREACH:
            return IoErrorKind::network_unreachable;
        case ENOTCONN:
            return IoErrorKind::not_connected;
        case ENOTDIR:
            return IoErrorKind::not_a_directory;
        case ENOTEMPTY:
            return IoErrorKind::directory_not_empty;
        case EPIPE:
            return IoErrorKind::broken_pipe;
        case EROFS:
            return IoErrorKind::read_only_filesystem;
        case ESPIPE:
            return IoErrorKind::not_seekable;
        case ESTALE:
            return IoErrorKind::stale_network_file_handle;
        case ETIMEDOUT:
            return IoErrorKind::timed_out;
        case ETXTBSY:
            return IoErrorKind::executable_file_busy;
        case EXDEV:
            return IoErrorKind::crosses_devices;
        case EINPROGRESS:
            return IoErrorKind::in_progress;
        case EACCES:
        case EPERM:
            return IoErrorKind::permission_denied;
        default:
            return IoErrorKind::uncategorized;
    }
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
    switch (form_) {
        case Form::os:
            out = "Os { code: ";
            base::append_decimal(out, code_);
            out += ", kind: ";
            out += kind_name(kind_);
            out += ", message: ";
            out += base::debug_quoted(system_message(code_));
            break;
        case Form::simple:
            out = "Error { kind: ";
            out += kind_name(kind_);
            out += ", message: ";
            out += base::debug_quoted(text_);
            break;
        case Form::custom:
            out = "Custom { kind: ";
            out += kind_name(kind_);
            out += ", error: ";
            out += base::debug_quoted(text_);
            break;
    }
    out += " }";
    return out;
}

}  // namespace events
