// The socket transport's error numbers, their English texts, and its exception.
//
// The system speaks the Windows socket error numbers (10004..11004) on every platform; the
// platform binding maps its own errors onto them (net/socket_api_posix.cpp). GetErrorDesc
// gives the fixed English text of a number and "Other Winsock error (N)" for any number
// outside the table; 0 (success) has the empty text.
//
// ESocketError is raised only at start-up when the socket interface cannot be loaded, and
// by a socket whose RaiseExcept is set; otherwise failures are left in the socket's
// LastErrorCode.

#ifndef ZELSNMP_NET_SOCKET_ERROR_H_
#define ZELSNMP_NET_SOCKET_ERROR_H_

#include <cstdint>
#include <string>
#include <utility>

#include "util/exception.h"

namespace zelsnmp {

// The numbers that the transport itself sets, besides those the platform reports.
inline constexpr std::int32_t kSocketErrorInterrupted = 10004;
inline constexpr std::int32_t kSocketErrorBadHandle = 10009;
inline constexpr std::int32_t kSocketErrorInvalidArgument = 10022;
inline constexpr std::int32_t kSocketErrorWouldBlock = 10035;
inline constexpr std::int32_t kSocketErrorInProgress = 10036;
inline constexpr std::int32_t kSocketErrorNotSupported = 10045;
inline constexpr std::int32_t kSocketErrorFamilyNotSupported = 10047;
inline constexpr std::int32_t kSocketErrorConnectionAborted = 10053;
inline constexpr std::int32_t kSocketErrorConnectionReset = 10054;
inline constexpr std::int32_t kSocketErrorTimedOut = 10060;
inline constexpr std::int32_t kSocketErrorNotInitialised = 10093;
inline constexpr std::int32_t kSocketErrorHostNotFound = 11001;

// The English text of a Windows socket error number.
std::string GetErrorDesc(std::int32_t error_code);

class ESocketError : public Exception {
 public:
  ESocketError(std::string message, std::int32_t error_code, std::string error_message)
      : Exception(std::move(message)),
        error_code_(error_code),
        error_message_(std::move(error_message)) {}

  // The platform error number, 0 when there is none.
  std::int32_t ErrorCode() const noexcept { return error_code_; }
  const std::string& ErrorMessage() const noexcept { return error_message_; }

 private:
  std::int32_t error_code_;
  std::string error_message_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_NET_SOCKET_ERROR_H_
