// Walking a pattern in which text between single or double quotes is copied as it stands: the
// float and date-time patterns read their specifiers only outside quotes.
#pragma once

namespace sib {

enum class QuoteState { Outside, Mark, Inside };

class QuoteTracker {
 public:
  // Where `c`, the next character of the pattern, stands; a quote mark opens or closes the text.
  QuoteState Next(char c) {
    if (quote_ != 0) {
      if (c != quote_) return QuoteState::Inside;
      quote_ = 0;
      return QuoteState::Mark;
    }
    if (c != '\'' && c != '"') return QuoteState::Outside;
    quote_ = c;
    return QuoteState::Mark;
  }

 private:
  char quote_ = 0;
};

}  // namespace sib
