#include "text/TermRule.h"

#include <cstring>
#include <utility>

namespace quillery {

TermRule::TermRule(RequiredLiterals required) : required_(std::move(required)) {
    for (const QString& literal : required_.literals) {
        hasEmptyLiteral_ = hasEmptyLiteral_ || literal.isEmpty();
        for (const QChar c : literal) {
            asciiLiterals_ = asciiLiterals_ && c.unicode() < 0x80;
        }
    }
}

bool TermRule::holds(const std::vector<char>& found, bool nonBlank) const {
    assert(found.size() == size());
    if (required_.join == RequiredLiterals::Join::AllOf) {
        return holds([&found](std::size_t i) { return found[i] != 0; }, nonBlank);
    }
    // Empty literals are never marked: one mark anywhere is a contained non-empty literal.
    return (nonBlank && hasEmptyLiteral_) ||
           (!found.empty() && std::memchr(found.data(), 1, found.size()) != nullptr);
}

}  // namespace quillery
