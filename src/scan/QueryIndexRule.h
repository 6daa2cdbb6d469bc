#pragma once

#include "index/IndexQuery.h"
#include "scan/QueryMatcher.h"

namespace quillery {

// How the index tests an expression: the literal atoms RE2's FilteredRE2 finds every match of
// each term to need, and the expression's structure over the terms those atoms leave possible.
// A negated term and a term without atoms rule nothing out. The rule keeps what it needs of
// the matcher, which may go before it.
AtomRule QueryAtomRule(const QueryMatcher& matcher);

}  // namespace quillery
