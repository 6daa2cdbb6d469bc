#include "index/IndexQuery.h"

#include <algorithm>
#include <cassert>
#include <unordered_map>
#include <utility>

#include "text/CodePage.h"

namespace quillery {

namespace {

// More byte spellings of one trigram than this are not tried.
constexpr std::size_t kMaxSpellings = 64;

// For each character, the bytes (ASCII letters upper-cased, as the summary keeps them) that
// read as it once upper-cased in the character set.
using ByteSpellings = std::unordered_map<char16_t, std::vector<char16_t>>;

ByteSpellings SpellingsOf(ByteCodePage page) {
    ByteSpellings spellings;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const char16_t upper = ByteToChar(byte, page).toUpper().unicode();
        const auto folded = static_cast<char16_t>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
        std::vector<char16_t>& list = spellings[upper];
        if (std::find(list.begin(), list.end(), folded) == list.end()) {
            list.push_back(folded);
        }
    }
    return spellings;
}

const ByteSpellings& Spellings(int pageIndex) {
    static const ByteSpellings cp437 = SpellingsOf(ByteCodePage::Cp437);
    static const ByteSpellings cp1252 = SpellingsOf(ByteCodePage::Windows1252);
    return pageIndex == 0 ? cp437 : cp1252;
}

std::uint64_t Units48(char16_t a, char16_t b, char16_t c) {
    return (std::uint64_t{a} << 32) | (std::uint64_t{b} << 16) | c;
}

}  // namespace

IndexQuery::IndexQuery(const RequiredLiterals& required) : rule_(required) {
    for (const QString& text : rule_.required().literals) {
        Term term;
        term.units = static_cast<std::size_t>(text.size());
        const auto* u = reinterpret_cast<const char16_t*>(text.utf16());
        for (std::size_t i = 0; i + 2 < term.units; ++i) {
            term.trigrams.push_back(TrigramHash(Units48(u[i], u[i + 1], u[i + 2])));
        }
        if (!rule_.asciiLiterals()) {
            for (int page = 0; page < 2; ++page) {
                Term::ByteReading& reading = term.bytes[static_cast<std::size_t>(page)];
                const ByteSpellings& spellings = Spellings(page);
                std::vector<const std::vector<char16_t>*> choices;
                for (std::size_t i = 0; i < term.units; ++i) {
                    const auto found = spellings.find(u[i]);
                    if (found == spellings.end()) {
                        reading.impossible = true;
                        break;
                    }
                    choices.push_back(&found->second);
                }
                if (reading.impossible) {
                    continue;
                }
                for (std::size_t i = 0; i + 2 < term.units; ++i) {
                    const auto &a = *choices[i], &b = *choices[i + 1], &c = *choices[i + 2];
                    std::vector<std::uint32_t> hashes;
                    if (a.size() * b.size() * c.size() <= kMaxSpellings) {
                        for (const char16_t x : a) {
                            for (const char16_t y : b) {
                                for (const char16_t z : c) {
                                    hashes.push_back(TrigramHash(Units48(x, y, z)));
                                }
                            }
                        }
                    }
                    reading.trigrams.push_back(std::move(hashes));
                }
            }
        }
        terms_.push_back(std::move(term));
    }
    assert(terms_.size() == rule_.size());
}

IndexQuery::IndexQuery(AtomRule rule)
    : rule_(RequiredLiterals{}), atomsMayHold_(std::move(rule.mayHold)) {
    assert(atomsMayHold_);
    // Only ASCII characters are taken, upper-cased as the filter keeps ASCII letters; a
    // trigram with any other character is left out. Of the characters a line may hold, two
    // fold to ASCII letters without being ASCII: the Kelvin sign to k, which keeps its own
    // form upper-cased, and the long s to s, which upper-cases to S in a decoded text but
    // stays two bytes in a text kept as bytes (whose lines the matcher may still read as
    // UTF-8 one by one). Trigrams with k, and in byte texts with s, are left out too.
    for (const std::string& text : rule.atoms) {
        Atom atom;
        for (int reading = 0; reading < 2; ++reading) {
            const auto kept = [reading](unsigned char c) {
                const auto upper = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
                return c < 0x80 && upper != 'K' && (reading == 0 || upper != 'S');
            };
            const auto unit = [](unsigned char c) {
                return static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
            };
            std::vector<std::uint32_t>& hashes = atom.trigrams[static_cast<std::size_t>(reading)];
            for (std::size_t i = 0; i + 2 < text.size(); ++i) {
                const auto a = static_cast<unsigned char>(text[i]);
                const auto b = static_cast<unsigned char>(text[i + 1]);
                const auto c = static_cast<unsigned char>(text[i + 2]);
                if (kept(a) && kept(b) && kept(c)) {
                    hashes.push_back(TrigramHash(Units48(unit(a), unit(b), unit(c))));
                }
            }
        }
        atoms_.push_back(std::move(atom));
    }
}

bool IndexQuery::atomsRuleOut(const SummaryView& entry) const {
    if (!entry.has(EntrySummary::kHasFilter) || entry.words == 0) {
        return false;
    }
    // Where every atom may occur, every term may, and so may the expression.
    thread_local std::vector<char> mayOccur;
    mayOccur.assign(atoms_.size(), 1);
    bool anyAbsent = false;
    const std::size_t reading = entry.has(EntrySummary::kUtf8) ? 0 : 1;
    for (std::size_t i = 0; i < atoms_.size(); ++i) {
        const std::vector<std::uint32_t>& hashes = atoms_[i].trigrams[reading];
        if (!std::all_of(hashes.begin(), hashes.end(),
                         [&entry](std::uint32_t h) { return entry.bit(h); })) {
            mayOccur[i] = 0;
            anyAbsent = true;
        }
    }
    return anyAbsent && !atomsMayHold_(mayOccur);
}

bool IndexQuery::provenAbsent(const Term& term, const SummaryView& entry) const {
    assert(term.units > 0);  // the rule settles empty literals by itself
    // A literal's own trigrams serve an ASCII literal (looked for in the bytes) and, in a
    // valid UTF-8 text, any other (looked for in the decoded text); in any other text a
    // non-ASCII literal is looked for in the byte character set's reading, where each of its
    // trigrams may be spelled by several bytes.
    const bool byteReading = !rule_.asciiLiterals() && !entry.has(EntrySummary::kUtf8);
    const Term::ByteReading& reading = term.bytes[entry.has(EntrySummary::kCp437) ? 0 : 1];
    if (byteReading && reading.impossible) {
        return true;
    }
    if (!entry.has(EntrySummary::kHasFilter) || term.units < 3 || entry.words == 0) {
        return false;
    }
    const auto has = [&entry](std::uint32_t h) { return entry.bit(h); };
    if (!byteReading) {
        return !std::all_of(term.trigrams.begin(), term.trigrams.end(), has);
    }
    for (const std::vector<std::uint32_t>& spellings : reading.trigrams) {
        if (!spellings.empty() && std::none_of(spellings.begin(), spellings.end(), has)) {
            return true;
        }
    }
    return false;
}

bool IndexQuery::entryCannotMatch(const SummaryView& entry) const {
    if (!entry.has(EntrySummary::kComplete)) {
        return true;  // only an entry that inflated completely can match
    }
    if (atomsMayHold_) {
        return atomsRuleOut(entry);
    }
    const auto mayOccur = [&](std::size_t i) { return !provenAbsent(terms_[i], entry); };
    return !rule_.holds(mayOccur, entry.has(EntrySummary::kNonEmpty));
}

}  // namespace quillery
