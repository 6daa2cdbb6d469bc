#pragma once

#include <QString>
#include <cassert>
#include <cstddef>
#include <vector>

namespace quillery {

// What a search requires of a text: literals, each to be contained as a contiguous run of
// upper-cased characters, and how they join. However a search is written, it comes down to
// this, and everything that tests texts for a search (the matcher on the texts themselves,
// the index on their summaries) takes it in this form.
struct RequiredLiterals {
    enum class Join {
        AllOf,  // every literal must be contained (and there is at least one)
        AnyOf,  // one contained literal suffices
    };
    Join join = Join::AnyOf;
    std::vector<QString> literals;  // upper-cased; an empty one is in every non-blank text

    bool operator==(const RequiredLiterals&) const = default;
};

// How required literals are tested against a text, the same for whoever tests them.
class TermRule {
  public:
    explicit TermRule(RequiredLiterals required);

    const RequiredLiterals& required() const { return required_; }
    std::size_t size() const { return required_.literals.size(); }

    // Every literal is ASCII: a text is then tested on its bytes with the ASCII letters
    // upper-cased, since no other byte upper-cases to ASCII in any of its readings (but for
    // the UTF-8 letters dotless i and long s). Otherwise every literal is looked for in the
    // decoded, upper-cased text, in each reading the text may have.
    bool asciiLiterals() const { return asciiLiterals_; }
    bool hasEmptyLiteral() const { return hasEmptyLiteral_; }

    // Whether a text holds the literals: occurs(i) tells whether non-empty literal i is
    // contained in it (never asked of empty ones), nonBlank whether it holds more than
    // blanks. The answer only grows with occurs and nonBlank, so one that says "may be
    // contained" where it cannot tell gives "may hold", never a false "cannot".
    template <class Occurs>
    bool holds(Occurs occurs, bool nonBlank) const {
        const std::vector<QString>& literals = required_.literals;
        if (required_.join == RequiredLiterals::Join::AllOf) {
            for (std::size_t i = 0; i < literals.size(); ++i) {
                if (literals[i].isEmpty() ? !nonBlank : !occurs(i)) {
                    return false;
                }
            }
            return !literals.empty();
        }
        if (nonBlank && hasEmptyLiteral_) {
            return true;
        }
        for (std::size_t i = 0; i < literals.size(); ++i) {
            if (!literals[i].isEmpty() && occurs(i)) {
                return true;
            }
        }
        return false;
    }

    // The same with found[i] set for every non-empty literal i that is contained and never
    // for an empty one (quicker for many literals).
    bool holds(const std::vector<char>& found, bool nonBlank) const;

  private:
    RequiredLiterals required_;
    bool asciiLiterals_ = true;
    bool hasEmptyLiteral_ = false;
};

}  // namespace quillery
