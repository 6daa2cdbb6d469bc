#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "index/TextSummary.h"
#include "text/TermRule.h"

namespace quillery {

// A search as the index tests it against entry summaries: the literals it requires, tested
// by the rule the matcher applies to texts, with each literal taken as contained unless the
// summary proves it absent from the reading the matcher would give the text. It answers only
// "this entry cannot match"; an entry it cannot rule out is read and matched for real.
class IndexQuery {
  public:
    explicit IndexQuery(const RequiredLiterals& required);

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

    TermRule rule_;
    std::vector<Term> terms_;  // one for each literal, in order
};

}  // namespace quillery
