#include "WinError.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct TErrorText {
  DWORD Code;
  const char16_t* Text;
};

// Sorted by code for the binary search below.
constexpr TErrorText ErrorTexts[] = {
    {ERROR_SUCCESS, u"The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, u"Incorrect function."},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, u"Access is denied."},
    {ERROR_INVALID_HANDLE, u"The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY,
     u"Not enough memory resources are available to process this command."},
    {ERROR_BAD_FORMAT, u"An attempt was made to load a program with an incorrect format."},
    {ERROR_INVALID_DATA, u"The data is invalid."},
    {ERROR_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_BAD_NETPATH, u"The network path was not found."},
    {ERROR_NETWORK_ACCESS_DENIED, u"Network access is denied."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect."},
    {ERROR_BUFFER_OVERFLOW, u"The file name is too long."},
    {ERROR_CALL_NOT_IMPLEMENTED, u"This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, u"The specified procedure could not be found."},
    {ERROR_BAD_PATHNAME, u"The specified path is invalid."},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists."},
    {ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long."},
    {ERROR_NO_DATA, u"The pipe is being closed."},
    {ERROR_MORE_DATA, u"More data is available."},
    {ERROR_NO_MORE_ITEMS, u"No more data is available."},
    {ERROR_INVALID_ADDRESS, u"Attempt to access invalid address."},
    {ERROR_IO_PENDING, u"Overlapped I/O operation is in progress."},
    {ERROR_BADDB, u"The configuration registry database is corrupt."},
    {ERROR_BADKEY, u"The configuration registry key is invalid."},
    {ERROR_CANTOPEN, u"The configuration registry key could not be opened."},
    {ERROR_CANTREAD, u"The configuration registry key could not be read."},
    {ERROR_CANTWRITE, u"The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT,
     u"The registry is corrupted. The structure of one of the files containing registry data is "
     u"corrupted, or the system's memory image of the file is corrupted, or the file could not be "
     u"recovered because the alternate copy or log was absent or corrupted."},
    {ERROR_KEY_DELETED,
     u"Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_SERVICE_NOT_ACTIVE, u"The service has not been started."},
    {ERROR_NOT_FOUND, u"Element not found."},
    {ERROR_NO_NETWORK, u"The network is not present or not started."},
    {ERROR_NETWORK_UNREACHABLE, u"The network location cannot be reached. For information about "
                                u"network troubleshooting, see Windows Help."},
    {ERROR_HOST_UNREACHABLE, u"The network location cannot be reached. For information about "
                             u"network troubleshooting, see Windows Help."},
    {ERROR_NO_SUCH_LOGON_SESSION,
     u"A specified logon session does not exist. It may already have been terminated."},
    {ERROR_NONE_MAPPED, u"No mapping between account names and security IDs was done."},
    {ERROR_TIMEOUT, u"This operation returned because the timeout period expired."},
    {RPC_S_SERVER_UNAVAILABLE, u"The RPC server is unavailable."},
    {NERR_NetNotStarted, u"The workstation driver is not installed."},
    {NERR_ServerNotStarted, u"The Server service is not started."},
    {NERR_BufTooSmall, u"The API return buffer is too small."},
    {NERR_WkstaNotStarted, u"The Workstation service has not been started."},
    {NERR_UserNotFound, u"The user name could not be found."},
    {WSAEINTR, u"A blocking operation was interrupted by a call to WSACancelBlockingCall."},
    {WSAEFAULT, u"The system detected an invalid pointer address in attempting to use a pointer "
                u"argument in a call."},
    {WSAEINVAL, u"An invalid argument was supplied."},
    {WSAEAFNOSUPPORT, u"An address incompatible with the requested protocol was used."},
    {WSAENETUNREACH, u"A socket operation was attempted to an unreachable network."},
    {WSAETIMEDOUT, u"A connection attempt failed because the connected party did not properly "
                   u"respond after a period of time, or established connection failed because "
                   u"connected host has failed to respond."},
    {WSAECONNREFUSED,
     u"No connection could be made because the target machine actively refused it."},
    {WSAEHOSTUNREACH, u"A socket operation was attempted to an unreachable host."},
    {WSASYSNOTREADY, u"WSAStartup cannot function at this time because the underlying system it "
                     u"uses to provide network services is currently unavailable."},
    {WSAVERNOTSUPPORTED, u"The Windows Sockets version requested is not supported."},
    {WSANOTINITIALISED, u"Either the application has not called WSAStartup, or WSAStartup failed."},
    {WSAHOST_NOT_FOUND, u"No such host is known."},
    {WSATRY_AGAIN, u"This is usually a temporary error during hostname resolution and means that "
                   u"the local server did not receive a response from an authoritative server."},
    {WSANO_RECOVERY, u"A non-recoverable error occurred during a database lookup."},
    {WSANO_DATA, u"The requested name is valid, but no data of the requested type was found."},
};

constexpr bool isSorted() {
  for (std::size_t I = 1; I < std::size(ErrorTexts); ++I)
    if (ErrorTexts[I - 1].Code >= ErrorTexts[I].Code)
      return false;
  return true;
}
static_assert(isSorted(), "error texts must be sorted by code, without repeats");

} // namespace

QString SysErrorMessage(DWORD AErrorCode) {
  const auto* It = std::lower_bound(std::begin(ErrorTexts), std::end(ErrorTexts), AErrorCode,
                                    [](const TErrorText& E, DWORD C) { return E.Code < C; });
  if (It != std::end(ErrorTexts) && It->Code == AErrorCode)
    return QString::fromUtf16(It->Text);
  return QStringLiteral("Unknown error (%1)").arg(AErrorCode);
}
