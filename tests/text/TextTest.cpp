#include <gtest/gtest.h>

#include <QChar>

#include "text/CodePage.h"
#include "text/TextCase.h"
#include "text/TextDecode.h"
#include "text/Utf8Decoder.h"

namespace quillery {
namespace {

TEST(TextTest, DecodingPrefersValidUtf8AndFallsBackByName) {
    // Upper case keeps every offset; blanks are spaces only.
    EXPECT_EQ(UpperSimple(QStringLiteral("straße \U0001044F ﬁ x")),
              QStringLiteral("STRAßE \U00010427 ﬁ X"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("  \ta b\t  ")), QStringLiteral("\ta b\t"));
    EXPECT_EQ(DecodeText("\xEF\xBB\xBFh\xC3\xA9", ByteCodePage::Cp437), QStringLiteral("hé"));
    EXPECT_EQ(DecodeText("\xC9\xCD\xBB", ByteCodePage::Cp437), QStringLiteral("╔═╗"));
    EXPECT_EQ(DecodeText("\xC9\xCD\xBB", ByteCodePage::Windows1252), QStringLiteral("ÉÍ»"));
    EXPECT_EQ(DecodeText("\x80\x9F", ByteCodePage::Windows1252), QStringLiteral("€Ÿ"));
    EXPECT_EQ(CodePageForName("ART/FILE_ID.DIZ"), ByteCodePage::Cp437);
    EXPECT_EQ(CodePageForName("x.Nfo"), ByteCodePage::Cp437);
    EXPECT_EQ(CodePageForName("readme.txt"), ByteCodePage::Windows1252);
}

TEST(TextTest, Utf8DecoderRejectsWhatIsNotUtf8EvenAcrossPieces) {
    const auto valid = [](const std::string& bytes, std::size_t piece) {
        Utf8Decoder decoder;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            decoder.feed(bytes.data() + at, std::min(piece, bytes.size() - at), nullptr);
        }
        return decoder.finish();
    };
    for (std::size_t piece : {1, 2, 100}) {
        EXPECT_TRUE(valid("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 text", piece));
        EXPECT_FALSE(valid("\xC0\xAF", piece));          // overlong
        EXPECT_FALSE(valid("\xED\xA0\x80", piece));      // surrogate
        EXPECT_FALSE(valid("\xF4\x90\x80\x80", piece));  // above U+10FFFF
        EXPECT_FALSE(valid("abc\xE2\x82", piece));       // cut short
        EXPECT_FALSE(valid("\xB1", piece));              // stray continuation byte
    }
}

}  // namespace
}  // namespace quillery
