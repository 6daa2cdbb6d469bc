#include "scan/QueryIndexRule.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <memory>
#include <utility>

namespace quillery {

namespace {

// Atoms shorter than a trigram prove nothing from the index.
constexpr int kShortestAtom = 3;

struct Filter {
    re2::FilteredRE2 filter{kShortestAtom};
    QueryNode root;
};

}  // namespace

AtomRule QueryAtomRule(const QueryMatcher& matcher) {
    auto shared = std::make_shared<Filter>();
    shared->root = matcher.query().root;
    AtomRule rule;
    const std::size_t terms = matcher.query().terms.size();
    for (std::size_t t = 0; t < terms; ++t) {
        const RE2& term = matcher.compiled(t);
        int id = -1;
        if (shared->filter.Add(term.pattern(), term.options(), &id) != RE2::NoError ||
            id != static_cast<int>(t)) {
            // Compiled once already, so not expected; then nothing is ruled out.
            rule.atoms.clear();
            rule.mayHold = [](const std::vector<char>&) { return true; };
            return rule;
        }
    }
    shared->filter.Compile(&rule.atoms);
    rule.mayHold = [shared, terms](const std::vector<char>& atomMayOccur) {
        thread_local std::vector<int> present, potential;
        thread_local std::vector<char> termMayOccur;
        present.clear();
        potential.clear();
        for (std::size_t a = 0; a < atomMayOccur.size(); ++a) {
            if (atomMayOccur[a] != 0) {
                present.push_back(static_cast<int>(a));
            }
        }
        shared->filter.AllPotentials(present, &potential);
        termMayOccur.assign(terms, 0);
        for (const int t : potential) {
            if (t >= 0 && static_cast<std::size_t>(t) < terms) {
                termMayOccur[static_cast<std::size_t>(t)] = 1;
            }
        }
        return QueryMayHold(shared->root, termMayOccur);
    };
    return rule;
}

}  // namespace quillery
