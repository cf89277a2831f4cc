// The calling thread's last error, and the one table that turns errno into Win32 codes.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <cerrno>

namespace win32 {

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

}  // namespace win32

namespace win32::detail {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EPIPE: return ERROR_BROKEN_PIPE;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        case ENOTSUP: return ERROR_NOT_SUPPORTED;
        case ECANCELED: return ERROR_OPERATION_ABORTED;
        default: return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorFromErrno(int error) { SetLastError(ErrorFromErrno(error)); }

}  // namespace win32::detail
