#pragma once

#include <QString>
#include <vector>

#include "results/ViewerContent.h"
#include "scan/QueryMatcher.h"

namespace quillery {

// The terms of query whose occurrences are shown: those not under a "!" (a term that must
// not occur has nothing to show). One flag per term.
std::vector<char> ShownTerms(const Query& query);

// Every occurrence in text of each of matcher's shown terms, looked for line by line as the
// search looks for them (lines end at LF, as the viewer's text box holds them), as ranges of
// the text's UTF-16 units: term by term, each in text order.
std::vector<ViewerContent::Mark> QueryMarks(const QString& text, const QueryMatcher& matcher);

// The viewer's content for searchString, read as the options say. With none of them it is
// marked as BuildViewerContent marks the plain search; otherwise by QueryMarks, with the
// matcher of the run (the expression, or the plain search's terms taken literally and split as
// the search splits them). A search string that is not an expression marks nothing.
ViewerContent ViewerContentFor(const std::vector<ViewerFile>& files, const QString& searchString,
                               bool expressions, QueryOptions options);

}  // namespace quillery
