// Time kept in frames by a producer whose blocks vary in size (the last block of a looped pass is
// short): each call owes AFrames more, and blocks are made until nothing is owed. A block that brings
// more than was owed is counted against the next call; one that brings nothing ends the call and
// clears the debt, since nothing is to be had now and nothing should be made up for later.
#pragma once

#include <cstdint>

namespace sib {

// AMakeBlock makes one block and returns its frames (0 or less for none). AOwed is negative while a
// block has brought more than was owed.
template <class MakeBlock>
void MakeOwedFrames(std::int64_t& AOwed, std::int64_t AFrames, MakeBlock&& AMakeBlock) {
  AOwed += AFrames;
  while (AOwed > 0) {
    const std::int64_t made = AMakeBlock();
    if (made <= 0) {
      AOwed = 0;
      return;
    }
    AOwed -= made;
  }
}

}  // namespace sib
