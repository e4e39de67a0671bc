#include "framework/notify.h"

namespace sib {
namespace {

std::atomic<std::uint32_t> gLastOperationID{0};

}  // namespace

TOWNotifyOperation::TOWNotifyOperation()
    : FOperationID(gLastOperationID.fetch_add(1, std::memory_order_relaxed) + 1) {}

}  // namespace sib
