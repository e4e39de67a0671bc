// The events through which pipeline components report device and file failures. An error that no
// handler marks handled is raised as ESLException with the text "%s - %u - %x".
#pragma once

#include <cstdint>
#include <string>

#include "platform/components/type_info.h"

namespace sib {

// (Sender, ErrorText, ErrorCode, var Handled)
using TSLErrorEvent = TEvent<TObject*, const std::string&, std::int32_t, bool&>;
// (Sender, ErrorText, ErrorCode)
using TSLWarningEvent = TEvent<TObject*, const std::string&, std::int32_t>;

}  // namespace sib
