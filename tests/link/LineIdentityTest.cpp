#include "link/LineIdentity.h"

#include <gtest/gtest.h>

namespace meridial {
namespace {

struct SpellingCase {
    const char *name, *first, *second;
    bool sameLine;
};

class TwoSpellings : public ::testing::TestWithParam<SpellingCase> {};

// Signs whose targets reach one line must take turns on it, however the signs file writes them.
TEST_P(TwoSpellings, OneLineOrTwo) {
    const auto [name, first, second, sameLine] = GetParam();
    EXPECT_EQ(LineIdentity(ParseLinkTarget(first).value())
                  .SameLine(LineIdentity(ParseLinkTarget(second).value())),
              sameLine);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TwoSpellings,
    ::testing::Values(
        SpellingCase{"SlashAndCase", "RFC2217://127.0.0.1:9", "rfc2217://127.0.0.1:9/", true},
        SpellingCase{"HostName", "tcp://localhost:9", "tcp://127.0.0.1:9", true},
        SpellingCase{"EitherProtocol", "tcp://127.0.0.1:9", "rfc2217://127.0.0.1:9", true},
        SpellingCase{"OtherPort", "tcp://127.0.0.1:9", "tcp://127.0.0.1:8", false},
        SpellingCase{"OtherHost", "tcp://127.0.0.1:9", "tcp://127.0.0.2:9", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
