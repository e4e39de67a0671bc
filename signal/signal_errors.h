// The errors the data buffers raise besides the common ones of platform/core/errors.h: integer
// division by zero and file errors, and the range error texts shared with the audio buffers.
#pragma once

#include <cstdint>

#include "platform/core/errors.h"

namespace sib {

class EDivByZero : public Exception {
 public:
  using Exception::Exception;
};

class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// ERangeError "Index out of range = %u".
[[noreturn]] void raiseIndexOutOfRange(std::uint64_t AIndex);
// ERangeError "Channel out of range = %u".
[[noreturn]] void raiseChannelOutOfRange(std::uint64_t AChannel);
// EDivByZero "Division by zero".
[[noreturn]] void raiseDivByZero();

}  // namespace sib
