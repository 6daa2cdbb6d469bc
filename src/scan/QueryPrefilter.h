#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/ByteSearch.h"

namespace re2 {
class FilteredRE2;
class RE2;
}  // namespace re2

namespace quillery {

// Which terms may occur in a text, told from the literal atoms that RE2's FilteredRE2 finds
// every match of each term to need, each looked for in the text without regard to ASCII case.
// An atom that is not ASCII counts as present. In a text that holds the Kelvin sign or the long
// s (which fold to k and s) every atom counts as present. So a term that occurs in the text is
// always among those marked; the others need no search.
class QueryPrefilter {
  public:
    explicit QueryPrefilter(const std::vector<const re2::RE2*>& terms);
    ~QueryPrefilter();
    QueryPrefilter(const QueryPrefilter&) = delete;
    QueryPrefilter& operator=(const QueryPrefilter&) = delete;

    // Sets mayOccur (one per term) for text, UTF-8.
    void termsIn(std::string_view text, std::vector<char>& mayOccur) const;

    // The atoms, lower-cased UTF-8 as FilteredRE2 gives them (none when it could not be used).
    const std::vector<std::string>& atoms() const { return atomTexts_; }
    // Sets mayOccur (one per term) for a text in which the atoms marked in atomPresent (one
    // per atom) may occur and no others do.
    void termsGiven(const std::vector<char>& atomPresent, std::vector<char>& mayOccur) const;

  private:
    std::unique_ptr<re2::FilteredRE2> filter_;
    std::size_t terms_ = 0;
    bool usable_ = true;  // false: every term may occur
    struct Atom {
        bool ascii = false;
        FoldedTerm folded;
    };
    std::vector<Atom> atoms_;
    std::vector<std::string> atomTexts_;
};

}  // namespace quillery
