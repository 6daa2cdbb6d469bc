#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "index/TextSummary.h"
#include "text/TermRule.h"

namespace quillery {

// A search as the index tests it against entry summaries: the literals it requires, tested
// by the rule the matcher applies to texts, with each literal taken as contained unless the
// summary proves it absent from the reading the matcher would give the text. It answers only
// "this entry cannot match"; an entry it cannot rule out is read and matched for real.
// A search known to the index through its atoms only: strings, each required by some part of
// the search, and the test that tells, from which atoms may occur in an entry, whether the
// search may hold for it. An atom is lower-cased UTF-8 (as RE2's FilteredRE2 gives them for
// case-folded matching); it counts as contained in a text wherever some line of the text,
// read as the expression matcher reads lines, holds it without regard to case.
struct AtomRule {
    std::vector<std::string> atoms;
    std::function<bool(const std::vector<char>& mayOccur)> mayHold;
};

class IndexQuery {
  public:
    explicit IndexQuery(const RequiredLiterals& required);
    explicit IndexQuery(AtomRule rule);

    // Whether the entry is proven not to match: it did not inflate completely, or its
    // summary rules out the expression.
    bool entryCannotMatch(const SummaryView& entry) const;
    bool entryCannotMatch(const EntrySummary& entry) const {
        return entryCannotMatch(SummaryView(entry));
    }

  private:
    struct Term {
        std::size_t units = 0;
        std::vector<std::uint32_t> trigrams;  // hashes of the term's own trigrams
        // Read as one-byte characters (code page 437, then 1252): for each trigram the
        // hashes of every byte trigram that reads as it (none: too many to try), or
        // impossible when some character has no byte at all.
        struct ByteReading {
            bool impossible = false;
            std::vector<std::vector<std::uint32_t>> trigrams;
        };
        std::array<ByteReading, 2> bytes;
    };

    bool provenAbsent(const Term& term, const SummaryView& entry) const;
    bool atomsRuleOut(const SummaryView& entry) const;

    TermRule rule_;
    std::vector<Term> terms_;  // one for each literal, in order

    // An atom's trigram hashes, for entries whose whole text is UTF-8 and for the others:
    // only trigrams of characters that nothing else folds to in that reading (see the
    // constructor), each one that is missing proving the atom absent.
    struct Atom {
        std::array<std::vector<std::uint32_t>, 2> trigrams;
    };
    std::vector<Atom> atoms_;
    std::function<bool(const std::vector<char>&)> atomsMayHold_;  // set: the atoms decide
};

}  // namespace quillery
