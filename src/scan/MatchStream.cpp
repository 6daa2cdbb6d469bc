#include "scan/MatchStream.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "text/TextCase.h"

namespace quillery {

namespace {

constexpr unsigned char kDotlessILead = 0xC4, kDotlessITrail = 0xB1;
constexpr unsigned char kLongSLead = 0xC5, kLongSTrail = 0xBF;

struct AsciiUpperTable {
    std::array<char, 256> map{};
    constexpr AsciiUpperTable() {
        for (int i = 0; i < 256; ++i) {
            map[static_cast<std::size_t>(i)] =
                static_cast<char>(i >= 'a' && i <= 'z' ? i - 'a' + 'A' : i);
        }
    }
};
constexpr AsciiUpperTable kAsciiUpper;

template <class CharT>
void KeepTail(std::basic_string<CharT>& window, std::size_t keep) {
    if (window.size() > keep) {
        window.erase(0, window.size() - keep);
    }
}

}  // namespace

MatchStream::MatchStream(const TextMatcher& matcher, ByteCodePage page) : matcher_(matcher) {
    if (const QueryMatcher* query = matcher.query()) {
        query_ = std::make_unique<QueryStream>(*query, page);
        return;
    }
    const std::size_t terms = matcher.rule().size();
    keep_ = matcher.longestTerm() > 0 ? matcher.longestTerm() - 1 : 0;
    if (matcher.asciiTerms()) {
        plain_.found.assign(terms, 0);
        checkUtf8_ = matcher.termsNeedUtf8Letters();
    } else {
        bytes8_.found.assign(terms, 0);
        utf8_ = std::make_unique<WideBranch>();
        utf8_->found.assign(terms, 0);
        for (int b = 0; b < 256; ++b) {
            upperByteTable_[static_cast<std::size_t>(b)] =
                ByteToChar(static_cast<unsigned char>(b), page).toUpper().unicode();
        }
    }
}

MatchStream::~MatchStream() = default;

bool MatchStream::evaluate(const std::vector<char>& found) const {
    return matcher_.rule().holds(found, content_.nonBlank());
}

void MatchStream::scanBytes(ByteBranch& branch, std::size_t keep) {
    if (const TermSet<char>* set = matcher_.byteSet()) {
        set->scan(branch.window.data(), branch.window.size(), branch.found);
    } else {
        const auto& terms = matcher_.byteTerms();
        for (std::size_t i = 0; i < terms.size(); ++i) {
            if (branch.found[i] || terms[i].empty() || branch.window.size() < terms[i].size()) {
                continue;
            }
            if (::memmem(branch.window.data(), branch.window.size(), terms[i].data(),
                         terms[i].size()) != nullptr) {
                branch.found[i] = 1;
            }
        }
    }
    KeepTail(branch.window, keep);
}

void MatchStream::scanWide(WideBranch& branch) {
    if (const TermSet<char16_t>* set = matcher_.wideSet()) {
        set->scan(branch.window.data(), branch.window.size(), branch.found);
    } else {
        const auto& terms = matcher_.wideTerms();
        const std::u16string_view window(branch.window);
        for (std::size_t i = 0; i < terms.size(); ++i) {
            if (branch.found[i] || terms[i].empty()) {
                continue;
            }
            if (window.find(terms[i]) != std::u16string_view::npos) {
                branch.found[i] = 1;
            }
        }
    }
    KeepTail(branch.window, keep_);
}

bool MatchStream::hasLetterPair(const unsigned char* p, std::size_t n) const {
    if (n == 0) {
        return false;
    }
    if ((lastByte_ == kDotlessILead && p[0] == kDotlessITrail) ||
        (lastByte_ == kLongSLead && p[0] == kLongSTrail)) {
        return true;
    }
    for (const auto& [lead, trail] :
         {std::pair{kDotlessILead, kDotlessITrail}, std::pair{kLongSLead, kLongSTrail}}) {
        const unsigned char* at = p;
        const unsigned char* end = p + n - 1;  // a lead byte needs one byte after it
        while (at < end) {
            const void* hit = std::memchr(at, lead, static_cast<std::size_t>(end - at));
            if (hit == nullptr) {
                break;
            }
            at = static_cast<const unsigned char*>(hit);
            if (at[1] == trail) {
                return true;
            }
            ++at;
        }
    }
    return false;
}

void MatchStream::scanPlain(const char* data, std::size_t size) {
    const auto& terms = matcher_.foldedTerms();
    std::vector<char>& found = plain_.found;
    // A term that starts in the kept tail ends within the first keep_ bytes of the piece.
    if (!plain_.window.empty()) {
        junction_.assign(plain_.window);
        junction_.append(data, std::min(size, keep_));
        for (std::size_t i = 0; i < terms.size(); ++i) {
            if (!found[i] && terms[i].foundIn(junction_.data(), junction_.size())) {
                found[i] = 1;
            }
        }
    }
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (!found[i] && terms[i].foundIn(data, size)) {
            found[i] = 1;
        }
    }
}

void MatchStream::feedBytes(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (checkUtf8_) {
        if (!validator_.feed(data, size, nullptr)) {
            // Not UTF-8: the plain view is the text's only reading.
            checkUtf8_ = false;
            utf8Letters_.reset();
        } else if (!utf8Letters_ && hasLetterPair(p, size)) {
            // Up to here both views are the same.
            utf8Letters_ = std::make_unique<ByteBranch>(plain_);
            std::string& window = utf8Letters_->window;
            FoldAscii(window.data(), window.size(), window.data());
        }
    }

    // While a letter pair may still turn up, the plain view keeps the extra byte the UTF-8
    // view needs (below), so that the UTF-8 view can start as a copy of it.
    const std::size_t keep = checkUtf8_ ? keep_ + 1 : keep_;
    if (matcher_.byteSet() != nullptr) {
        // Many terms: one pass over an upper-cased copy.
        std::string& window = plain_.window;
        const std::size_t old = window.size();
        window.resize(old + size);
        FoldAscii(data, size, window.data() + old);
        scanBytes(plain_, keep);
    } else {
        // Few terms: each is looked for in the bytes as they are; the window keeps only the
        // tail a match across the next piece's start needs, unconverted.
        scanPlain(data, size);
        std::string& window = plain_.window;
        if (size >= keep) {
            window.assign(data + size - keep, keep);
        } else {
            window.append(data, size);
            KeepTail(window, keep);
        }
    }

    if (utf8Letters_) {
        std::string& window = utf8Letters_->window;
        unsigned char prev = lastByte_;
        for (std::size_t i = 0; i < size; ++i) {
            const unsigned char b = p[i];
            const bool dotlessI = prev == kDotlessILead && b == kDotlessITrail;
            const bool longS = prev == kLongSLead && b == kLongSTrail;
            if (dotlessI || longS) {
                const char letter = dotlessI ? 'I' : 'S';
                if (!window.empty() && static_cast<unsigned char>(window.back()) == prev) {
                    window.back() = letter;
                } else {
                    window.push_back(letter);
                }
            } else {
                window.push_back(kAsciiUpper.map[b]);
            }
            prev = b;
        }
        // One more byte is kept: the last one may be the lead byte of a letter pair that
        // the next piece completes, and the pair then stands as one letter.
        scanBytes(*utf8Letters_, keep_ + 1);
    }
    if (size > 0) {
        lastByte_ = p[size - 1];
    }
}

void MatchStream::feedWide(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const std::size_t old = bytes8_.window.size();
    bytes8_.window.resize(old + size);
    char16_t* out = bytes8_.window.data() + old;
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = upperByteTable_[p[i]];
    }
    scanWide(bytes8_);

    if (utf8_) {
        decoded_.clear();
        if (!validator_.feed(data, size, &decoded_)) {
            utf8_.reset();
            return;
        }
        const QString upper =
            UpperSimple(QStringView(decoded_.data(), static_cast<qsizetype>(decoded_.size())));
        utf8_->window.append(reinterpret_cast<const char16_t*>(upper.utf16()),
                             static_cast<std::size_t>(upper.size()));
        scanWide(*utf8_);
    }
}

void MatchStream::updateDecided() {
    if (matcher_.asciiTerms()) {
        decided_ = evaluate(plain_.found) && (!utf8Letters_ || evaluate(utf8Letters_->found));
    } else {
        decided_ = evaluate(bytes8_.found) && (!utf8_ || evaluate(utf8_->found));
    }
}

void MatchStream::feed(const char* data, std::size_t size) {
    if (query_) {
        query_->feed(data, size);
        return;
    }
    if (decided_ || finished_ || size == 0) {
        return;
    }
    front_.feed(data, size, [this](const char* text, std::size_t n) { feedText(text, n); });
}

void MatchStream::feedText(const char* data, std::size_t size) {
    if (decided_ || size == 0) {
        return;
    }
    content_.feed(reinterpret_cast<const unsigned char*>(data), size);
    if (matcher_.asciiTerms()) {
        feedBytes(data, size);
    } else {
        feedWide(data, size);
    }
    updateDecided();
}

bool MatchStream::finish() {
    if (finished_) {
        return result_;
    }
    if (query_) {
        finished_ = true;
        result_ = query_->finish();
        return result_;
    }
    front_.finish([this](const char* text, std::size_t n) { feedText(text, n); });
    finished_ = true;
    content_.finish();
    if (decided_) {
        result_ = true;
        return result_;
    }
    const bool utf8Valid = validator_.finish();
    if (matcher_.asciiTerms()) {
        const bool useLetters = utf8Letters_ && checkUtf8_ && utf8Valid;
        result_ = evaluate(useLetters ? utf8Letters_->found : plain_.found);
    } else {
        const bool useUtf8 = utf8_ && utf8Valid;
        result_ = evaluate(useUtf8 ? utf8_->found : bytes8_.found);
    }
    return result_;
}

}  // namespace quillery
