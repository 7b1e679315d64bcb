// Exception: the system's base exception, carrying its message text.
//
// Every exception the system raises on purpose derives from it, so that the poll cycle can
// catch them in one place and write the message to the error log. The message is stored by
// value and also served through what().

#ifndef ZELSNMP_UTIL_EXCEPTION_H_
#define ZELSNMP_UTIL_EXCEPTION_H_

#include <exception>
#include <string>
#include <utility>

namespace zelsnmp {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_UTIL_EXCEPTION_H_
