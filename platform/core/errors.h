// The exception classes: every failure in the system is an exception carrying its text.
// Exception is the root; the others tell the kinds apart where a caller catches one kind only.
#pragma once

#include <stdexcept>
#include <string>

namespace sib {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

#define SIB_EXCEPTION_CLASS(Name, Base)   \
  class Name : public Base {              \
   public:                                \
    using Base::Base;                     \
  };

SIB_EXCEPTION_CLASS(EConvertError, Exception)        // text that is not a value of the expected kind
SIB_EXCEPTION_CLASS(ERangeError, Exception)          // an index or channel outside its range
SIB_EXCEPTION_CLASS(EOutOfMemory, Exception)         // an allocation that could not be served
SIB_EXCEPTION_CLASS(EOutOfResources, Exception)      // a platform resource was refused (timers, threads)
SIB_EXCEPTION_CLASS(EOWException, Exception)         // the pin framework's own errors
SIB_EXCEPTION_CLASS(ESLException, Exception)         // unhandled errors of pipeline components
SIB_EXCEPTION_CLASS(EReadError, Exception)           // a malformed stored description
SIB_EXCEPTION_CLASS(EInvalidOperation, Exception)    // an operation called in a state that does not allow it

#undef SIB_EXCEPTION_CLASS

}  // namespace sib
