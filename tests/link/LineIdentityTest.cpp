#include "link/LineIdentity.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace meridial {
namespace {

struct SpellingCase {
    const char* name;
    const char* first;  // "LINK" stands for a symbolic link to /dev/null
    const char* second;
    bool sameLine;
};

class TwoSpellings : public ::testing::TestWithParam<SpellingCase> {};

// Signs whose targets reach one line must take turns on it, however the signs file writes them.
TEST_P(TwoSpellings, OneLineOrTwo) {
    const SpellingCase& c = GetParam();
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("sign"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), link));
    auto identity = [&](const char* text) {
        QString spelled = QString::fromLatin1(text);
        spelled.replace(QStringLiteral("LINK"), link);
        const Result<LinkTarget> target = ParseLinkTarget(spelled.toStdString());
        EXPECT_TRUE(target.ok()) << text;
        return LineIdentity(target.ok() ? *target : LinkTarget{});
    };
    EXPECT_EQ(identity(c.first).SameLine(identity(c.second)), c.sameLine);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TwoSpellings,
    ::testing::Values(
        SpellingCase{"TrailingSlash", "rfc2217://127.0.0.1:24102", "rfc2217://127.0.0.1:24102/",
                     true},
        SpellingCase{"SchemeCase", "RFC2217://127.0.0.1:24102", "rfc2217://127.0.0.1:24102", true},
        SpellingCase{"HostName", "tcp://localhost:24102", "tcp://127.0.0.1:24102", true},
        SpellingCase{"Ipv6Forms", "tcp://[::1]:24102", "tcp://[0:0::1]:24102", true},
        SpellingCase{"OnePortEitherProtocol", "tcp://127.0.0.1:24102", "rfc2217://127.0.0.1:24102",
                     true},
        SpellingCase{"OtherPort", "tcp://127.0.0.1:24102", "tcp://127.0.0.1:24103", false},
        SpellingCase{"OtherHost", "tcp://127.0.0.1:24102", "tcp://127.0.0.2:24102", false},
        SpellingCase{"DeviceBehindALink", "LINK", "/dev/null", true},
        SpellingCase{"OtherDevice", "/dev/null", "/dev/zero", false},
        SpellingCase{"DeviceAndServer", "/dev/null", "tcp://127.0.0.1:24102", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
