#include "scan/QueryIndexRule.h"

#include <memory>
#include <utility>

namespace quillery {

AtomRule QueryAtomRule(const QueryMatcher& matcher) {
    std::shared_ptr<const QueryPrefilter> prefilter = matcher.prefilter();
    AtomRule rule;
    rule.atoms = prefilter->atoms();
    rule.mayHold = [prefilter, root = matcher.query().root](const std::vector<char>& atoms) {
        thread_local std::vector<char> terms;
        prefilter->termsGiven(atoms, terms);
        return QueryMayHold(root, terms);
    };
    return rule;
}

}  // namespace quillery
