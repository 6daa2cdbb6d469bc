#include "cli/MatchOutput.h"

#include <QByteArray>
#include <algorithm>
#include <cstdio>

namespace quillery {

namespace {

std::string Painted(std::string_view text, const char* mark, const OutputColors& colors) {
    if (!colors.on) {
        return std::string(text);
    }
    std::string out = "\033[";
    out += mark;
    out += "m\033[K";
    out += text;
    out += "\033[m\033[K";
    return out;
}

std::string Separator(const OutputColors& colors) {
    return Painted(":", colors.separator, colors);
}

std::string Utf8(QStringView text) {
    return text.toUtf8().toStdString();
}

// The text as shown: tabs and control characters as ^I, ^A, ... and ^?.
std::string Visible(QStringView text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c == 0x7F) {
            out += Utf8(text.mid(plain, i - plain));
            out += '^';
            out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
            plain = i + 1;
        }
    }
    out += Utf8(text.mid(plain));
    return out;
}

std::string AuditNames(const LinePlace& place, const MatchedLine& line) {
    std::string out;
    std::vector<std::uint32_t> named;
    for (const LineHit& hit : line.hits) {
        if (hit.term < place.terms->size() &&
            std::find(named.begin(), named.end(), hit.term) == named.end()) {
            named.push_back(hit.term);
            if (!out.empty()) {
                out += ',';
            }
            out += '"' + Visible((*place.terms)[hit.term]) + '"';
        }
    }
    return out;
}

}  // namespace

std::string MatchesLine(const LinePlace& place, const MatchedLine& matched,
                        const OutputColors& colors) {
    MatchedLine line = matched;
    CutAroundHits(line, kShownLineUnits);
    const std::string colon = Separator(colors);
    std::string out = Painted(*place.archive, colors.path, colors) + colon;
    if (!place.entry->inner.empty()) {
        out += Painted(place.entry->inner, colors.path, colors) + colon;
    }
    out += Painted(place.entry->entry, colors.path, colors) + colon;
    out += Painted(std::to_string(line.number), colors.number, colors) + colon;
    if (place.audit) {
        out += AuditNames(place, line) + colon;
    }
    // The text, its hits marked (overlapping hits as one mark).
    const QStringView text(line.text);
    qsizetype shown = 0;
    for (const LineHit& hit : line.hits) {
        const auto start = static_cast<qsizetype>(hit.start);
        const qsizetype end = start + static_cast<qsizetype>(hit.length);
        if (end <= shown) {
            continue;
        }
        const qsizetype from = std::max(start, shown);
        out += Visible(text.mid(shown, from - shown));
        out += Painted(Visible(text.mid(from, end - from)), colors.match, colors);
        shown = end;
    }
    out += Visible(text.mid(shown));
    out += '\n';
    return out;
}

std::string CountLine(const std::string& archive, std::uint64_t lines, const OutputColors& colors) {
    return Painted(archive, colors.path, colors) + Separator(colors) + std::to_string(lines) + '\n';
}

std::string JsonString(std::string_view bytes) {
    // Bytes that are not UTF-8 become U+FFFD, so that the line stays valid JSON.
    const QByteArray utf8 =
        QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8();
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::string JsonHits(const LinePlace& place, const MatchedLine& line) {
    std::string out;
    const std::string head =
        R"({"type":"match","archive":)" + JsonString(*place.archive) + R"(,"inner":)" +
        (place.entry->inner.empty() ? std::string("null") : JsonString(place.entry->inner)) +
        R"(,"entry":)" + JsonString(place.entry->entry) + R"(,"line":)" +
        std::to_string(line.number) + R"(,"offset":)" + std::to_string(line.byteOffset) +
        R"(,"text":)" + JsonString(Utf8(line.text));
    const QStringView text(line.text);
    for (const LineHit& hit : line.hits) {
        const std::size_t start = Utf8(text.first(hit.start)).size();
        const std::size_t end = start + Utf8(text.mid(hit.start, hit.length)).size();
        out += head + R"(,"start":)" + std::to_string(start) + R"(,"end":)" + std::to_string(end);
        if (hit.term < place.terms->size()) {
            out += std::string(place.audit ? R"(,"audit":)" : R"(,"term":)") +
                   JsonString(Utf8((*place.terms)[hit.term]));
        }
        out += "}\n";
    }
    return out;
}

std::string JsonSummary(std::uint64_t checked, std::uint64_t matched, std::uint64_t entries,
                        std::uint64_t lines, std::uint64_t hits) {
    return R"({"type":"summary","checked":)" + std::to_string(checked) + R"(,"matched":)" +
           std::to_string(matched) + R"(,"entries":)" + std::to_string(entries) + R"(,"lines":)" +
           std::to_string(lines) + R"(,"hits":)" + std::to_string(hits) + "}\n";
}

}  // namespace quillery
