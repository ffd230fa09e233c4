#pragma once

#include <exception>
#include <string>

namespace base {

// Root of every error the program raises. The message is 8-bit text (GBK for
// the updater's own texts) and is what a user sees, unchanged.
class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// Ends an operation quietly: the handlers of last resort neither show nor
// report it.
class EAbort : public Exception {
  public:
    using Exception::Exception;
};

// A value that cannot be converted (text to number, fields to a date, ...).
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// An index or argument outside what a list holds.
class EListError : public Exception {
  public:
    using Exception::Exception;
};

// Stream failures: short reads and writes, refused operations.
class EStreamError : public Exception {
  public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// Bytes that are not valid text in the expected encoding.
class EEncodingError : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace base
