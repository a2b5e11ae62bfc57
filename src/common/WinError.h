#pragma once
// The Windows base types and error codes the ports return and the
// algorithms branch on, and the system message text for each, as the log
// records show them.
//
// Built for Windows, the codes are the system's own (<winerror.h>,
// <lmerr.h>) and the types are declared exactly as the system declares
// them, so that a backend including <windows.h> meets no second definition.
// Elsewhere the same names have the same values and widths.

#include <QString>

#include <cstdint>

#if defined(_WIN32)

#include <lmerr.h>
#include <winerror.h>

using BYTE = unsigned char;
using UCHAR = unsigned char;
using WORD = unsigned short;
using UINT = unsigned int;
using ULONG = unsigned long;
using DWORD = unsigned long;
using LONG = long;
using HRESULT = long;

#else

using BYTE = std::uint8_t;
using UCHAR = std::uint8_t;
using WORD = std::uint16_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_BAD_FORMAT = 11;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_BAD_NETPATH = 53;
inline constexpr DWORD ERROR_NETWORK_ACCESS_DENIED = 65;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
inline constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_NO_DATA = 232;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_INVALID_ADDRESS = 487;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_BADKEY = 1010;
inline constexpr DWORD ERROR_CANTOPEN = 1011;
inline constexpr DWORD ERROR_CANTREAD = 1012;
inline constexpr DWORD ERROR_CANTWRITE = 1013;
inline constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr DWORD ERROR_NOT_FOUND = 1168;
inline constexpr DWORD ERROR_NO_NETWORK = 1222;
inline constexpr DWORD ERROR_NETWORK_UNREACHABLE = 1231;
inline constexpr DWORD ERROR_HOST_UNREACHABLE = 1232;
inline constexpr DWORD ERROR_NONE_MAPPED = 1332;
inline constexpr DWORD ERROR_NO_SUCH_LOGON_SESSION = 1312;
inline constexpr DWORD ERROR_TIMEOUT = 1460;
inline constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;
inline constexpr DWORD NERR_Success = 0;
inline constexpr DWORD NERR_NetNotStarted = 2102;
inline constexpr DWORD NERR_ServerNotStarted = 2114;
inline constexpr DWORD NERR_BufTooSmall = 2123;
inline constexpr DWORD NERR_WkstaNotStarted = 2138;
inline constexpr DWORD NERR_UserNotFound = 2221;
inline constexpr DWORD WSAEINTR = 10004;
inline constexpr DWORD WSAEFAULT = 10014;
inline constexpr DWORD WSAEINVAL = 10022;
inline constexpr DWORD WSAEAFNOSUPPORT = 10047;
inline constexpr DWORD WSAENETUNREACH = 10051;
inline constexpr DWORD WSAETIMEDOUT = 10060;
inline constexpr DWORD WSAECONNREFUSED = 10061;
inline constexpr DWORD WSAEHOSTUNREACH = 10065;
inline constexpr DWORD WSASYSNOTREADY = 10091;
inline constexpr DWORD WSAVERNOTSUPPORTED = 10092;
inline constexpr DWORD WSANOTINITIALISED = 10093;
inline constexpr DWORD WSAHOST_NOT_FOUND = 11001;
inline constexpr DWORD WSATRY_AGAIN = 11002;
inline constexpr DWORD WSANO_RECOVERY = 11003;
inline constexpr DWORD WSANO_DATA = 11004;

#endif

// The system's message text for AErrorCode (Windows error codes, network
// management codes, Windows Sockets codes). A code the table does not know
// gives "Unknown error (<code>)" rather than an empty text, so a log line
// still says something.
QString SysErrorMessage(DWORD AErrorCode);
