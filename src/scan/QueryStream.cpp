#include "scan/QueryStream.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

#include "text/Utf8Decoder.h"

namespace quillery {

namespace {

// Lines are searched together once they hold this many bytes (and at the end).
constexpr std::size_t kSearchedTogether = std::size_t{256} << 10;

// The UTF-8 form of every byte of a one-byte character set.
struct ByteForms {
    std::array<std::string, 256> utf8;
    explicit ByteForms(ByteCodePage page) {
        for (int b = 0; b < 256; ++b) {
            utf8[static_cast<std::size_t>(b)] =
                QString(ByteToChar(static_cast<unsigned char>(b), page)).toStdString();
        }
    }
};

const ByteForms& FormsOf(ByteCodePage page) {
    static const ByteForms cp437(ByteCodePage::Cp437);
    static const ByteForms cp1252(ByteCodePage::Windows1252);
    return page == ByteCodePage::Cp437 ? cp437 : cp1252;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

bool IsUtf8(std::string_view text) {
    if (IsAscii(text)) {
        return true;
    }
    Utf8Decoder check;
    return check.feed(text.data(), text.size(), nullptr) && check.finish();
}

}  // namespace

QueryStream::QueryStream(const QueryMatcher& matcher, ByteCodePage page)
    : matcher_(matcher),
      page_(page),
      found_(matcher.query().terms.size(), 0),
      left_(matcher.query().terms.size()) {}

void QueryStream::feed(const char* data, std::size_t size) {
    front_.feed(data, size, [this](const char* d, std::size_t n) { text(d, n); });
}

void QueryStream::text(const char* data, std::size_t size) {
    // Only the new bytes are looked through for a line's end: pieces of any size cost their
    // own length.
    for (std::size_t i = size; i > 0; --i) {
        if (data[i - 1] == '\n' || data[i - 1] == '\r') {
            lastEnd_ = raw_.size() + i;
            break;
        }
    }
    raw_.append(data, size);
    if (raw_.size() < kSearchedTogether) {
        return;
    }
    // Blocks end after a line's end, so that no atom is cut in two; a line too long for one is
    // taken as it stands (its part in line_ is then carried on).
    if (lastEnd_ > 0) {
        block(lastEnd_, true);
    } else if (raw_.size() >= kSearchedTogether + QueryMatcher::kMostLineBytes) {
        block(raw_.size(), false);
    }
}

void QueryStream::block(std::size_t size, bool whole) {
    assert(size <= raw_.size());
    const std::string_view taken(raw_.data(), size);
    if (left_ > 0) {
        matcher_.termsMayOccurIn(taken, mayOccur_);
    }
    // Only whole lines are skipped: a block that ends inside a line (a line longer than the
    // most looked at) or goes on with one begun before is split.
    bool skipped = whole && line_.empty() && size > 0;
    for (std::size_t t = 0; t < found_.size() && skipped; ++t) {
        skipped = found_[t] != 0 || mayOccur_[t] == 0;
    }
    if (skipped) {
        firstLine_ = false;
        afterCr_ = taken.back() == '\r';
    } else {
        splitLines(taken.data(), taken.size());
        searchLines();
    }
    raw_.erase(0, size);
    lastEnd_ = 0;  // what is left holds no line's end
}

void QueryStream::splitLines(const char* data, std::size_t size) {
    const char* at = data;
    const char* const end = data + size;
    while (at < end) {
        if (afterCr_ && *at == '\n') {
            afterCr_ = false;  // the end of a CR LF
            ++at;
            continue;
        }
        afterCr_ = false;
        const char* stop = std::find_if(at, end, [](char c) { return c == '\n' || c == '\r'; });
        const std::size_t room =
            QueryMatcher::kMostLineBytes - std::min(line_.size(), QueryMatcher::kMostLineBytes);
        line_.append(at, std::min(static_cast<std::size_t>(stop - at), room));
        if (stop == end) {
            break;
        }
        afterCr_ = *stop == '\r';
        endLine();
        at = stop + 1;
    }
}

void QueryStream::endLine() {
    std::string_view line = line_;
    if (firstLine_ && line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);  // a UTF-8 mark
    }
    firstLine_ = false;
    if (left_ > 0) {
        const std::size_t start = lines_.size() + (haveLines_ ? 1 : 0);
        if (haveLines_) {
            lines_ += '\n';
        }
        haveLines_ = true;
        if (IsUtf8(line)) {
            lines_.append(line);
        } else {
            const ByteForms& forms = FormsOf(page_);
            for (const char c : line) {
                lines_ += forms.utf8[static_cast<unsigned char>(c)];
            }
            // Looked at up to the cut, as its bytes are.
            lines_.resize(std::min(lines_.size(), start + QueryMatcher::kMostLineBytes));
        }
        // Terms that must see each line alone look at it now.
        const std::string_view added = std::string_view(lines_).substr(start);
        for (std::size_t t = 0; t < found_.size(); ++t) {
            if (found_[t] == 0 && matcher_.lineByLine(t) && matcher_.termInLine(t, added)) {
                found_[t] = 1;
                --left_;
            }
        }
        if (lines_.size() >= kSearchedTogether) {
            searchLines();
        }
    }
    line_.clear();
}

void QueryStream::searchLines() {
    if (haveLines_ && left_ > 0) {
        thread_local std::vector<char> mayOccur;
        matcher_.termsMayOccurIn(lines_, mayOccur);
        for (std::size_t t = 0; t < found_.size() && left_ > 0; ++t) {
            if (found_[t] == 0 && mayOccur[t] != 0 && !matcher_.lineByLine(t) &&
                matcher_.termInLines(t, lines_)) {
                found_[t] = 1;
                --left_;
            }
        }
    }
    lines_.clear();
    haveLines_ = false;
}

bool QueryStream::finish() {
    front_.finish([this](const char* d, std::size_t n) { text(d, n); });
    block(raw_.size(), true);  // the last line needs no line end
    if (!line_.empty() || firstLine_) {
        endLine();  // the last line, without a line end (or an empty text's one line)
    }
    searchLines();
    return QueryHolds(matcher_.query().root, found_);
}

}  // namespace quillery
