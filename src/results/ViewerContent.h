#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace quillery {

// One file shown by the viewer: its name as listed and its decoded text (null when it
// could not be read).
struct ViewerFile {
    QString name;
    QString text;
};

// The viewer's text with every occurrence of the search terms located. Offsets are
// positions in the text as the text box holds it: a line break is one position.
struct ViewerContent {
    struct Mark {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Mark&) const = default;
    };
    QString text;
    std::vector<Mark> marks;                // term by term, each in text order
    std::vector<qsizetype> matchPositions;  // every mark's start, ascending, duplicates kept
    qsizetype caret = 0;                    // the first occurrence, or 0 when there is none
};

// The terms the viewer marks: the search string trimmed of blanks and upper-cased; split at
// "||" when it holds "||", else at "&&" when it holds "&&" (so "a && b || c" gives "A && B"
// and "C"); each piece trimmed; empty pieces dropped.
std::vector<QString> ViewerTerms(const QString& searchString);

// Line breaks as the text box stores them: CR LF, a lone CR and the paragraph separator
// become LF; the two characters the box reads as frame marks become U+FFFD.
QString BoxLineBreaks(const QString& text);

// Finds the occurrences to mark in the viewer's text: term by term, each in text order.
using MarkFinder = std::function<std::vector<ViewerContent::Mark>(const QString& text)>;

// Every occurrence of every term of the plain search (ViewerTerms) in text, compared
// upper-cased, overlapping ones included.
std::vector<ViewerContent::Mark> TermMarks(const QString& text, const QString& searchString);

// Assembles the files, each as "FileName - NAME" (upper-cased), a rule of "=" as long as that
// line, and its text trimmed of blanks followed by an empty line (nothing when it holds only
// blanks), and marks what findMarks finds in the whole text, header lines included.
ViewerContent BuildViewerContent(const std::vector<ViewerFile>& files, const MarkFinder& findMarks);
// The same with the terms of the plain search marked (TermMarks).
ViewerContent BuildViewerContent(const std::vector<ViewerFile>& files, const QString& searchString);

}  // namespace quillery
