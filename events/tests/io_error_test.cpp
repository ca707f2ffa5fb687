// Debug forms of stream errors and the kinds of system error numbers.
#include "io_error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using events::IoError;
using events::IoErrorKind;

TEST(IoError, DebugForms) {
    EXPECT_EQ(IoError::from_errno(EPIPE).debug_form(),
              "Os { code: 32, kind: BrokenPipe, message: \"Broken pipe\" }");
    EXPECT_EQ(IoError::from_errno(ENOSPC).debug_form(),
              "Os { code: 28, kind: StorageFull, message: \"No space left on device\" }");
    EXPECT_EQ(IoError::from_errno(EBADF).debug_form(),
              "Os { code: 9, kind: Uncategorized, message: \"Bad file descriptor\" }");
    EXPECT_EQ(IoError::from_errno(4242).debug_form(),
              "Os { code: 4242, kind: Uncategorized, message: \"Unknown error 4242\" }");
    EXPECT_EQ(IoError::simple(IoErrorKind::write_zero, events::kWriteZeroMessage).debug_form(),
              "Error { kind: WriteZero, message: \"failed to write whole buffer\" }");
    EXPECT_EQ(IoError::custom(IoErrorKind::other, "say \"no\" \\ twice").debug_form(),
              "Custom { kind: Other, error: \"say \\\"no\\\" \\\\ twice\" }");
    EXPECT_EQ(IoError::from_errno(EPIPE).os_code(), EPIPE);
    EXPECT_EQ(IoError::simple(IoErrorKind::write_zero, "x").os_code(), std::nullopt);
}

TEST(IoError, KindsOfSystemErrors) {
    const std::pair<int, std::string_view> cases[] = {
        {EPIPE, "BrokenPipe"},
        {ENOSPC, "StorageFull"},
        {EBADF, "Uncategorized"},
        {EACCES, "PermissionDenied"},
        {EPERM, "PermissionDenied"},
        {EIO, "Uncategorized"},
        {EINTR, "Interrupted"},
        {EAGAIN, "WouldBlock"},
        {EWOULDBLOCK, "WouldBlock"},
        {EINVAL, "InvalidInput"},
        {ENOENT, "NotFound"},
        {EEXIST, "AlreadyExists"},
        {ENOTDIR, "NotADirectory"},
        {EISDIR, "IsADirectory"},
        {ENOTEMPTY, "DirectoryNotEmpty"},
        {EROFS, "ReadOnlyFilesystem"},
        {ELOOP, "FilesystemLoop"},
        {ENAMETOOLONG, "InvalidFilename"},
        {EDQUOT, "QuotaExceeded"},
        {EFBIG, "FileTooLarge"},
        {ENOMEM, "OutOfMemory"},
        {ENOSYS, "Unsupported"},
        {ETIMEDOUT, "TimedOut"},
        {EXDEV, "CrossesDevices"},
        {ECONNRESET, "ConnectionReset"},
        {ENOTCONN, "NotConnected"},
        {ESPIPE, "NotSeekable"},
        {EBUSY, "ResourceBusy"},
        {ETXTBSY, "ExecutableFileBusy"},
        {E2BIG, "ArgumentListTooLong"},
        {0, "Uncategorized"},
        {4242, "Uncategorized"},
    };
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(events::kind_name(events::kind_of_errno(code)), name) << code;
    }
}

}  // namespace
