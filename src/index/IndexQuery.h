#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "index/TextSummary.h"

namespace quillery {

// A search as the index tests it against entry summaries: upper-cased terms, all of which
// (allOf) or one of which must occur. It answers only "this entry cannot match"; an entry it
// cannot rule out is read and matched for real.
class IndexQuery {
  public:
    IndexQuery(bool allOf, const std::vector<QString>& terms);

    // Whether the entry is proven not to match: it did not inflate completely, or its
    // summary rules out the expression.
    bool entryCannotMatch(const SummaryView& entry) const;
    bool entryCannotMatch(const EntrySummary& entry) const {
        return entryCannotMatch(SummaryView(entry));
    }

  private:
    struct Term {
        bool empty = false;
        bool ascii = true;
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

    bool allOf_;
    std::vector<Term> terms_;
};

}  // namespace quillery
