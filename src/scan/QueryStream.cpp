#include "scan/QueryStream.h"

#include <QChar>
#include <QString>

#include "text/Utf8Decoder.h"

namespace quillery {

QueryStream::QueryStream(const QueryMatcher& matcher, ByteCodePage page)
    : matcher_(matcher),
      page_(page),
      found_(matcher.query().terms.size(), 0),
      left_(matcher.query().terms.size()) {}

void QueryStream::feed(const char* data, std::size_t size) {
    front_.feed(data, size, [this](const char* d, std::size_t n) { text(d, n); });
}

void QueryStream::text(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n' && afterCr_) {
            afterCr_ = false;  // the end of a CR LF
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\n' || c == '\r') {
            endLine();
            continue;
        }
        if (line_.size() < QueryMatcher::kMostLineBytes) {
            line_ += c;
        }
    }
}

void QueryStream::endLine() {
    std::string_view line = line_;
    if (firstLine_ && line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);  // a UTF-8 mark
    }
    firstLine_ = false;
    if (left_ > 0) {
        Utf8Decoder check;
        if (!check.feed(line.data(), line.size(), nullptr) || !check.finish()) {
            decoded_.clear();
            QString chars;
            chars.reserve(static_cast<qsizetype>(line.size()));
            for (const char c : line) {
                chars += ByteToChar(static_cast<unsigned char>(c), page_);
            }
            decoded_ = chars.toStdString();
            line = decoded_;
        }
        for (std::size_t t = 0; t < found_.size(); ++t) {
            if (found_[t] == 0 && matcher_.termInLine(t, line)) {
                found_[t] = 1;
                --left_;
            }
        }
    }
    line_.clear();
}

bool QueryStream::finish() {
    front_.finish([this](const char* d, std::size_t n) { text(d, n); });
    if (!line_.empty() || firstLine_) {
        endLine();  // the last line, without a line end (or an empty text's one line)
    }
    return QueryHolds(matcher_.query().root, found_);
}

}  // namespace quillery
