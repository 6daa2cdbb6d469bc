// The index only ever spares reading archives that cannot match: every run gives exactly what
// a plain scan gives, whatever happened to the archives or to the index in between.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "index/IndexQuery.h"
#include "index/TextSummary.h"
#include "scan/FileMatch.h"
#include "scan/IndexedExamine.h"
#include "scan/MatchStream.h"
#include "scan/QueryMatcher.h"
#include "scan/QueryStream.h"
#include "scan/ScanFixture.h"
#include "scan/ScanRun.h"
#include "scan/SearchExpression.h"
#include "text/CodePage.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Long enough for file times to tell any later change apart.
void LetSettle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

// Feeds text in small pieces to the matcher and to a summary; whether the index, asked as a
// run asks it, rules the text out, and whether the matcher matches it.
std::pair<bool, bool> RuledOutAndMatched(const std::string& name, const std::string& text,
                                         const SearchExpression& expression) {
    const TextMatcher matcher(expression);
    MatchStream stream(matcher, CodePageForName(name));
    TextSummarizer summarizer(CodePageForName(name), text.size());
    for (std::size_t at = 0; at < text.size(); at += 5) {
        const std::size_t n = std::min<std::size_t>(5, text.size() - at);
        stream.feed(text.data() + at, n);
        summarizer.feed(text.data() + at, n);
    }
    const IndexQuery query(matcher.rule().required());
    return {query.entryCannotMatch(summarizer.finish(true)), stream.finish()};
}

// Every search of the table against its own text, where what the index proves is known, and
// against every other text of the table, where it must only never rule out a match.
TEST(IndexFilterTest, RulesOutOnlyTextsTheMatcherRejectsInEveryReading) {
    struct Case {
        const char* what;
        std::string name, text;
        QString search;  // "audit:" + lines joined by '\n' for the audit strings
        bool ruledOut;
    };
    const std::vector<Case> cases = {
        {"absent phrase", "a.txt", "Hello World of zips", "velvet", true},
        {"present in other case", "a.txt", "hello world", "WORLD", false},
        {"blanks around the phrase", "a.txt", "alpha beta", "   Beta  ", false},
        {"blanks inside the phrase", "a.txt", "hello world", "hello  world", true},
        {"&&: one term absent", "a.txt", "alpha beta", "alpha && gamma", true},
        {"&&: both present", "a.txt", "alpha beta", "beta&&alpha", false},
        {"&&: an || inside is text", "a.txt", "alpha beta", "alpha && beta || c", true},
        {"&&: an empty term, blank text", "a.txt", "   ", "alpha &&", true},
        {"&&: an empty term, text", "a.txt", "alpha", "ALPHA &&", false},
        {"||: every term absent", "a.txt", "alpha beta", "gamma || delta", true},
        {"||: one present", "a.txt", "alpha beta", "gamma || beta", false},
        {"short terms only", "a.txt", "xyz", "ab && yz", false},
        {"a short term beside an absent one", "a.txt", "xyz", "ab && velvet", true},
        {"short non-ASCII term", "a.txt", "abc", QString::fromUtf16(u"é || qq"), false},
        {"a character the code page lacks", "a.nfo", "\xFF price", QString::fromUtf16(u"€"), true},
        {"UTF-8 dotless i reads as I", "a.txt", "D\xC4\xB1sk drive", "disk", false},
        {"UTF-8 long s reads as S", "a.txt", "Mi\xC5\xBF\xC5\xBFion", "mission", false},
        {"dotless i in an && term", "a.txt", "D\xC4\xB1sk drive", "drive && DISK", false},
        {"code page 437 art in .nfo", "a.nfo", "\xC9\xCD\xCD\xBB art", QString::fromUtf16(u"╔══"),
         false},
        {"the same bytes in .txt are 1252", "a.txt", "\xC9\xCD\xCD\xBB art",
         QString::fromUtf16(u"╔══"), true},
        {"1252 letter, not UTF-8", "a.txt", "caf\xE9 au lait", QString::fromUtf16(u"café"), false},
        {"1252 letter beside an ASCII term", "a.txt", "caf\xE9 au lait",
         QString::fromUtf16(u"LAIT && café"), false},
        {"UTF-8 letter", "a.txt", "caf\xC3\xA9 au lait", QString::fromUtf16(u"CAFÉ"), false},
        {"UTF-8 letter beside an absent ASCII term", "a.txt", "caf\xC3\xA9 au lait",
         QString::fromUtf16(u"café && milk"), true},
        {"UTF-8 letter, longer term absent", "a.txt", "caf\xC3\xA9 au lait",
         QString::fromUtf16(u"cafés"), true},
        {"blank text and an empty term", "a.txt", "     ", "viewer ||", true},
        {"mark only and an empty term", "a.txt", "\xEF\xBB\xBF", "viewer ||", true},
        {"text and an empty term", "a.txt", " x ", "viewer ||", false},
        {"term too short to rule out", "a.txt", "xyz", "ab", false},
        {"UTF-16 with its mark", "a.txt", std::string("\xFF\xFEn\0e\0e\0d\0l\0e\0", 14), "needle",
         false},
        {"audit: no string present", "a.txt", "alpha beta", "audit:nothing\ngamma && beta", true},
        {"audit: one string present", "a.txt", "alpha beta", "audit:nothing\nha be", false},
        {"audit: a blank line", "a.txt", "alpha", "audit:gamma\n", false},
        {"audit: a blank line, blank text", "a.txt", "   ", "audit:gamma\n", true},
        {"audit: many strings, none present", "a.txt", "alpha beta",
         "audit:one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine", true},
        {"audit: many strings, one present", "a.txt", "alpha beta",
         QString::fromUtf16(u"audit:one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nété\nBETA"),
         false},
    };
    const auto expressionOf = [](const QString& search) {
        return search.startsWith("audit:") ? AuditExpression(search.mid(6).split('\n'))
                                           : ParseSearchExpression(search);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [ruledOut, matched] = RuledOutAndMatched(c.name, c.text, expressionOf(c.search));
        EXPECT_EQ(ruledOut, c.ruledOut);
        for (const Case& other : cases) {
            const auto [otherRuledOut, otherMatched] =
                RuledOutAndMatched(other.name, other.text, expressionOf(c.search));
            EXPECT_FALSE(otherRuledOut && otherMatched) << "in the text of " << other.what;
        }
    }
}

// The index reads a line's ASCII letters from its bytes, leaving out trigrams with k and s for
// the two other characters that fold to ASCII letters: no further one may turn up.
TEST(IndexFilterTest, OnlyTheKelvinSignAndTheLongSFoldToAsciiLetters) {
    const auto made = QueryMatcher::Make("[a-z]", {});
    const QueryMatcher& letters = std::get<QueryMatcher>(made);
    std::vector<char32_t> folding;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
        if (letters.termInLine(0, std::string_view(utf8.data(), utf8.size()))) {
            folding.push_back(c);
        }
    }
    EXPECT_EQ(folding, (std::vector<char32_t>{0x017F, 0x212A}));
}

// Expressions against texts made of the words they look for, in every reading a text may have
// (UTF-8, code page 437 for .nfo, 1252 otherwise, UTF-16, lines of mixed readings, letters that
// fold to ASCII ones): the index never rules out a text that a line of it matches, and for
// expressions with rare atoms it rules out the texts that lack them.
TEST(IndexFilterTest, ExpressionsAreRuledOutOnlyWhereTheMatcherFindsNoLine) {
    struct Text {
        std::string name, text;
    };
    std::vector<Text> texts = {
        {"kelvin.txt",
         "\xE2\x84\xAA"
         "EYGEN inside"},                                   // the Kelvin sign folds to k
        {"longs.txt", "Mi\xC5\xBF\xC5\xBFion\n\xE9t\xE9"},  // a UTF-8 line in a 1252 text
        {"utf16.txt", std::string("\xFF\xFEv\0"
                                  "1\0.\0"
                                  "2\0 \0c\0d\0",
                                  16)},
        {"art.nfo", "\xC9\xCD\xCD\xBB release v2.10\r\nkeygen"},
        {"blank.txt", "   "},
        {"cafe.txt", "caf\xC3\xA9 au lait"},
        {"long.txt", std::string(1500, 'x') + " readme.nfo"},
        {"group.diz", "The Velvet Cipher Syndicate\n"},
    };
    // Lines of words drawn from those the expressions look for, in any case.
    const std::vector<std::string> words = {
        "readme",    "README",    "keygen",      "KeyGen",   "nfo",    "diz",    "v1.2",
        "V3.45",     "v10",       "cd",          "abcd",     "CD-ROM", "velvet", "Cipher",
        "syndicate", "\xE9t\xE9", "caf\xC3\xA9", "\xCD\xCD", "crack",  "serial", "2026",
        "x",         "--",        "(c)",         "Release",  "group"};
    std::mt19937 random(2026);
    for (int t = 0; t < 150; ++t) {
        std::string text;
        const int lines = 1 + static_cast<int>(random() % 4);
        for (int l = 0; l < lines; ++l) {
            const int count = 1 + static_cast<int>(random() % 5);
            for (int w = 0; w < count; ++w) {
                text += words[random() % words.size()] + (random() % 3 == 0 ? "  " : " ");
            }
            text += random() % 2 == 0 ? "\r\n" : "\n";
        }
        texts.push_back({"t" + std::to_string(t) + (t % 3 == 0 ? ".nfo" : ".txt"), text});
    }
    struct Row {
        const char* what;
        QString search;
        bool matchCase, wholeWords;
        bool rulesOutSome;  // the index rules out at least one text
    };
    const std::vector<Row> rows = {
        {"a word", "readme", false, false, true},
        {"a word, case as written", "README", true, false, true},
        {"alternation", "keygen|crack", false, false, true},
        {"a class and repetition", "v[0-9]+\\.[0-9]+", false, false, false},
        {"an optional part", "cd(-rom)?", false, false, false},
        {"an optional longer part", "velvet( cipher)?", false, false, true},
        {"anchors", "^readme|group$", false, false, true},
        {"whole words", "cd", false, true, false},
        {"whole words, a longer one", "syndicate", false, true, true},
        {"&& of two", "readme && keygen", false, false, true},
        {"|| of two", "velvet || serial", false, false, true},
        {"!: rules nothing out alone", "!keygen", false, false, false},
        {"!: beside a required term", "readme && !keygen", false, false, true},
        {"!!: a double negation requires", "!(!velvet)", false, false, true},
        {"! of an ||", "readme && !(crack || serial)", false, false, true},
        {"groups", "(velvet || crack) && (cipher || serial)", false, false, true},
        {"a phrase in quotes", "\"velvet cipher\"", false, false, true},
        {"no atom at all", ".", false, false, false},
        {"short atoms only", "cd && ab", false, false, false},
        {"the Kelvin sign", "keygen inside", false, false, true},
        {"the long s in a line of its own", "mission", false, false, true},
        {"a non-ASCII letter", "caf\u00e9|\u00e9t\u00e9", false, false, false},
        {"case folding of a non-ASCII letter", "CAF\u00c9 AU", false, false, true},
        {"far into a long line", "readme\\.nfo", false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RunState state;
        state.SearchString = row.search;
        state.Expressions = true;
        state.MatchCase = row.matchCase;
        state.WholeWords = row.wholeWords;
        const TextMatcher matcher = MatcherForRun(state);
        ASSERT_NE(matcher.query(), nullptr);
        const RunIndex index(nullptr, matcher);
        int ruledOut = 0, matched = 0;
        for (const Text& text : texts) {
            QueryStream stream(*matcher.query(), CodePageForName(text.name));
            TextSummarizer summarizer(CodePageForName(text.name), text.text.size());
            for (std::size_t at = 0; at < text.text.size(); at += 7) {
                const std::size_t n = std::min<std::size_t>(7, text.text.size() - at);
                stream.feed(text.text.data() + at, n);
                summarizer.feed(text.text.data() + at, n);
            }
            const bool out = index.query.entryCannotMatch(summarizer.finish(true));
            const bool match = stream.finish();
            EXPECT_FALSE(out && match) << "the index hides the match in " << text.name;
            ruledOut += out ? 1 : 0;
            matched += match ? 1 : 0;
        }
        EXPECT_GT(matched, 0) << "the texts never match, so the row shows nothing";
        EXPECT_EQ(ruledOut > 0, row.rulesOutSome) << ruledOut << " ruled out";
    }
}

// The patterns of the runs: the window's default ones.
const QString kPatterns = QStringLiteral("*.nfo *.diz *.txt");

class IndexTest : public ScanFixture {
  protected:
    IndexTest() { state.IndexFolder = cache.path() / "index"; }

    struct Outcome {
        QStringList rows;
        QString checked, found;
        bool operator==(const Outcome&) const = default;
    };

    Outcome Run(bool indexed) {
        request.useIndex = indexed;
        Search("needle", kPatterns);
        Outcome outcome{events.rowNames(), events.checked, events.found};
        return outcome;
    }
    // An indexed run gives what a plain one gives; returns how many archives the index answered.
    std::int64_t ExpectPlainResult() {
        const Outcome plain = Run(false);
        const Outcome indexed = Run(true);
        EXPECT_EQ(indexed, plain);
        return state.IndexAnswers;
    }
    // A stored entry, so that texts of one length give archives of one size.
    fs::path Stored(const std::string& rel, const std::string& text) {
        const fs::path p = root / rel;
        fs::create_directories(p.parent_path());
        MakeZip(p, {ZipEntry("a.txt", text, false)});
        return p;
    }

    TempDir cache;
};

TEST_F(IndexTest, EveryChangeToTheArchivesGivesThePlainResult) {
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const std::vector<Case> cases = {
        {"bytes rewritten in place, size and time kept",
         [this] {
             const fs::path target = root / "sub/target.zip";
             const auto time = fs::last_write_time(target);
             const std::string before = ReadFileBytes(target);
             Stored("scratch/new.zip", "plain text needle");
             const std::string after = ReadFileBytes(root / "scratch/new.zip");
             fs::remove_all(root / "scratch");
             ASSERT_EQ(after.size(), before.size());
             std::ofstream(target, std::ios::binary | std::ios::in) << after;  // same inode
             fs::last_write_time(target, time);
         }},
        {"replaced by rename",
         [this] {
             Stored("replacement.zip.part", "plain text needle");
             fs::rename(root / "replacement.zip.part", root / "sub/target.zip");
         }},
        {"deleted", [this] { fs::remove(root / "gone.zip"); }},
        {"new archive", [this] { Stored("sub/fresh.zip", "a needle, new"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root.path());
        fs::remove_all(cache.path());
        fs::create_directories(root.path());
        Stored("keep.zip", "nothing to find in here");
        Stored("sub/target.zip", "plain text xxxxxx");
        Stored("gone.zip", "a needle in here");
        LetSettle();
        ExpectPlainResult();                // builds the index
        EXPECT_EQ(ExpectPlainResult(), 2);  // keep and target answered; gone matches
        c.change();
        ExpectPlainResult();  // at once, while the change is fresh
        LetSettle();
        ExpectPlainResult();                // re-indexed
        EXPECT_GE(ExpectPlainResult(), 1);  // keep still answered
    }
}

// An expression run through the index finds what a plain one finds, and a repeat answers
// every archive its atoms rule out without reading it.
TEST_F(IndexTest, ExpressionRunsGiveThePlainResult) {
    Stored("one.zip", "needle in the first line\nkeygen");
    Stored("two.zip", "NEEDLES, and nothing else");
    Stored("three.zip", "no such word here");
    Stored("four.zip", "caf\xE9\r\nthe NEEDLE");  // 1252
    LetSettle();
    state.Expressions = true;
    for (const QString search : {"needle && !keygen", "ne+dles?", "\"the needle\" || word"}) {
        SCOPED_TRACE(search.toStdString());
        request.useIndex = false;
        Search(search, kPatterns);
        const QStringList plain = events.rowNames();
        EXPECT_FALSE(plain.isEmpty());
        request.useIndex = true;
        Search(search, kPatterns);  // builds the index
        EXPECT_EQ(events.rowNames(), plain);
        Search(search, kPatterns);
        EXPECT_EQ(events.rowNames(), plain);
        EXPECT_GE(state.IndexAnswers, 1);
    }
}

void Flip(const fs::path& file, std::size_t at) {
    std::string bytes = ReadFileBytes(file);
    bytes[at] ^= 0x10;
    WriteFileBytes(file, bytes);
}

TEST_F(IndexTest, DamagedOrUnusableIndexGivesThePlainResultAndIsRebuilt) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& file)> damage;
        bool rebuilt;
    };
    const std::vector<Case> cases = {
        {"truncated", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }, true},
        {"one byte changed", [](const fs::path& f) { Flip(f, fs::file_size(f) - 3); }, true},
        {"other version", [](const fs::path& f) { Flip(f, 8); }, true},
        {"empty", [](const fs::path& f) { WriteFileBytes(f, ""); }, true},
        {"cache folder is a file",
         [this](const fs::path&) {
             fs::remove_all(state.IndexFolder);
             WriteFileBytes(state.IndexFolder, "not a folder");
         },
         false},
        {"cache folder cannot be made",
         [this](const fs::path&) { state.IndexFolder = "/proc/quillery-index"; }, false},
    };
    Stored("a.zip", "nothing here");
    Stored("b.zip", "a needle here");
    Stored("c/d.zip", "nothing there either");
    LetSettle();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.IndexFolder = cache.path() / "index";
        fs::remove_all(state.IndexFolder);
        ExpectPlainResult();
        ASSERT_EQ(ExpectPlainResult(), 2);
        const std::vector<fs::path> files(fs::directory_iterator(state.IndexFolder), {});
        ASSERT_EQ(files.size(), 2u);  // one a folder
        for (const fs::path& file : files) {
            c.damage(file);
        }
        testing::internal::CaptureStderr();
        ExpectPlainResult();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_LE(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(ExpectPlainResult(), c.rebuilt ? 2 : 0);
    }

    // New files left by runs that ended before renaming them: an old one goes when the index
    // is written, one that a run may still be writing stays.
    state.IndexFolder = cache.path() / "index";
    fs::remove_all(state.IndexFolder);
    fs::create_directories(state.IndexFolder);
    const fs::path stale = state.IndexFolder / "0123456789abcdef.qix.tmp.99.0";
    const fs::path recent = state.IndexFolder / "0123456789abcdef.qix.tmp.99.1";
    WriteFileBytes(stale, "half a file");
    WriteFileBytes(recent, "half a file");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
    ExpectPlainResult();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(recent));
}

TEST_F(IndexTest, RunsAtTheSameTimeKeepTheIndexWhole) {
    // More folders than the index holds at once, so that some are let go during the runs.
    for (int i = 0; i < 140; ++i) {
        Stored("f" + std::to_string(i % 70) + "/a" + std::to_string(i) + ".zip",
               i % 7 == 0 ? "with a needle" : "without one " + std::to_string(i));
    }
    LetSettle();
    const Outcome plain = Run(false);
    std::vector<Outcome> outcomes(2);
    std::vector<std::thread> runs;
    for (Outcome& outcome : outcomes) {
        runs.emplace_back([this, &outcome] {
            RunState other;
            other.IndexFolder = state.IndexFolder;
            RecordingEvents otherEvents;
            RunRequest otherRequest = request;
            otherRequest.searchText = "needle";
            otherRequest.patternText = kPatterns;
            otherRequest.useIndex = true;
            other.SearchFolder = otherRequest.folder;
            FakeQuestions otherQuestions;
            ScanContext otherCtx{other, otherEvents, otherQuestions, nullptr};
            RunScan(otherCtx, otherRequest);
            outcome = Outcome{otherEvents.rowNames(), otherEvents.checked, otherEvents.found};
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    EXPECT_EQ(outcomes[0], plain);
    EXPECT_EQ(outcomes[1], plain);
    EXPECT_EQ(Run(true), plain);
    EXPECT_EQ(state.IndexAnswers, 140 - 20);
}

}  // namespace
}  // namespace quillery::test
