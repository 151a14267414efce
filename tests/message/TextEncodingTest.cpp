#include "message/TextEncoding.h"

#include <gtest/gtest.h>

namespace meridial {
namespace {

TEST(CodePageForLocale, FollowsTheLanguageTheWayWindowsDoes) {
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("zh_CN"))), QStringLiteral("CP936"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("zh_TW"))), QStringLiteral("CP950"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("ja_JP"))), QStringLiteral("CP932"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("ko_KR"))), QStringLiteral("CP949"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("ru_RU"))), QStringLiteral("CP1251"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("pl_PL"))), QStringLiteral("CP1250"));
    EXPECT_EQ(CodePageForLocale(QLocale(QStringLiteral("de_DE"))), QStringLiteral("CP1252"));
    EXPECT_EQ(CodePageForLocale(QLocale::c()), QStringLiteral("CP1252"));
}

TEST(ResolveCodePage, SettingWinsOverTheLocale) {
    const QLocale german(QStringLiteral("de_DE"));
    EXPECT_EQ(ResolveCodePage(QStringLiteral("936"), german), QStringLiteral("CP936"));
    EXPECT_EQ(ResolveCodePage(QStringLiteral(" gbk "), german), QStringLiteral("GBK"));
    EXPECT_EQ(ResolveCodePage(QString(), german), QStringLiteral("CP1252"));
}

TEST(EncodeForSign, OneByteCodePageAndLineBreaksAsCrLf) {
    const EncodedText t =
        EncodeForSign(QStringLiteral("Caf\u00e9\n\u20ac"), QStringLiteral("CP1252"));
    ASSERT_TRUE(t.ok()) << t.error();
    EXPECT_EQ(t.value(), "Caf\xE9\r\n\x80");
    EXPECT_EQ(EncodedLength(QStringLiteral("Caf\u00e9\n\u20ac"), QStringLiteral("CP1252")), 7);
}

TEST(EncodeForSign, DoubleByteCodePageCountsBytes) {
    const EncodedText t = EncodeForSign(QStringLiteral("\u4f60\u597dA"), QStringLiteral("CP936"));
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t.value(),
              "\xC4\xE3\xBA\xC3"
              "A");
    EXPECT_EQ(EncodedLength(QStringLiteral("\u4f60\u597dA"), QStringLiteral("CP936")), 5);
}

TEST(EncodeForSign, UnencodableCharacterIsNamedAndNothingIsReturned) {
    const EncodedText t = EncodeForSign(QStringLiteral("AB\u4f60C"), QStringLiteral("CP1252"));
    EXPECT_FALSE(t.ok());
    EXPECT_TRUE(QString::fromStdString(t.error()).contains(QStringLiteral("U+4F60"))) << t.error();
    EXPECT_TRUE(QString::fromStdString(t.error()).contains(QStringLiteral("\u4f60")));
    // Characters outside the basic plane are named whole, not as halves.
    const EncodedText emoji = EncodeForSign(QStringLiteral("\U0001F600"), QStringLiteral("CP936"));
    EXPECT_TRUE(QString::fromStdString(emoji.error()).contains(QStringLiteral("U+1F600")))
        << emoji.error();
    EXPECT_EQ(EncodedLength(QStringLiteral("x\U0001F600"), QStringLiteral("CP936")), 2);
}

TEST(EncodeForSign, UnknownCodePageIsAnError) {
    const EncodedText t = EncodeForSign(QStringLiteral("A"), QStringLiteral("CP99999"));
    EXPECT_FALSE(t.ok());
    EXPECT_TRUE(QString::fromStdString(t.error()).contains(QStringLiteral("CP99999")));
}

// Only plain one- and two-byte code pages reach the sign: iconv's suffixes would replace or drop
// characters silently, and other encodings add byte order marks, escapes or longer sequences.
class CodePageKindTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(CodePageKindTest, OnlyPlainSingleAndDoubleByteCodePages) {
    const auto [codePage, usable] = GetParam();
    const EncodedText t = EncodeForSign(QStringLiteral("A"), QLatin1String(codePage));
    EXPECT_EQ(t.ok(), usable) << (t.ok() ? std::string() : t.error());
    if (!usable) {
        EXPECT_NE(t.error().find(codePage), std::string::npos) << t.error();
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, CodePageKindTest,
                         ::testing::Values(std::pair{"CP1252", true}, std::pair{"CP1250", true},
                                           std::pair{"CP936", true}, std::pair{"CP950", true},
                                           std::pair{"ISO-8859-1", true},
                                           std::pair{"CP1252//TRANSLIT", false},
                                           std::pair{"CP1252//IGNORE", false},
                                           std::pair{"UTF-16", false}, std::pair{"UTF-16LE", false},
                                           std::pair{"UCS-4", false}, std::pair{"UTF-8", false},
                                           std::pair{"UTF-7", false}, std::pair{"GB18030", false},
                                           std::pair{"EUC-JP", false},
                                           std::pair{"ISO-2022-JP", false}));

}  // namespace
}  // namespace meridial
