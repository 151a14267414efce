#include "cli/SignsFile.h"

#include <gtest/gtest.h>

namespace meridial::cli {
namespace {

// Hostile but valid signs files, and the lines a file cannot use. Each sign is written
// "name|option|value|...", each error as the whole text.
struct SignsRow {
    const char* name;
    QByteArray file;
    QStringList signs;
    QString error;
};

class SignsFileTableTest : public ::testing::TestWithParam<SignsRow> {};

TEST_P(SignsFileTableTest, ReadsEveryByteOrNamesTheLine) {
    const SignsRow& row = GetParam();
    const auto read = ReadSignsText(row.file, QStringLiteral("/s/signs.ini"));
    ASSERT_EQ(read.ok(), row.error.isEmpty()) << (read ? "" : read.error().toStdString());
    if (!read) {
        EXPECT_EQ(read.error(), row.error);
        return;
    }
    QStringList signs;
    for (const NamedSign& sign : *read)
        signs << (QStringList{sign.name} + sign.arguments +
                  (sign.groups.isEmpty() ? QStringList{} : QStringList{"groups=" + sign.groups.join(u',')}))
                     .join(u'|');
    EXPECT_EQ(signs, row.signs);
}

const SignsRow kSignsRows[] = {
    {"SemicolonsCommasAndHashesKept",
     "[a]\nport=/dev/a\nmessage=Opening hours 9-17; closed Sunday\n"
     "[b]\nport=/dev/b\nmessage=Open 9,99 today, 8-17 # really\n",
     {"a|--port|/dev/a|--message|Opening hours 9-17; closed Sunday",
      "b|--port|/dev/b|--message|Open 9,99 today, 8-17 # really"},
     {}},
    {"AnyPrintableName",
     "[Floor1/Lobby]\nport=/dev/a\n[hall%20x]\nport=/dev/b\n[General]\nport=/dev/c\n[ é;#=[ "
     "]\nport=/dev/d\n",
     {"Floor1/Lobby|--port|/dev/a", "hall%20x|--port|/dev/b", "General|--port|/dev/c",
      QStringLiteral("\u00e9;#=[|--port|/dev/d")},
     {}},
    {"QuotesKeepBlanksAndInnerQuotes",
     "[a]\nport = /dev/a \t\nmessage=\"  two  \"\n[b]\nport=/dev/b\nmessage=\"\"hi\" she said\"\n"
     "[c]\nport=/dev/c\nmessage=say \"hi \\n\n[d]\nport=/dev/d\nmessage-file=C:\\temp\\new\n",
     {"a|--port|/dev/a|--message|  two  ", "b|--port|/dev/b|--message|\"hi\" she said",
      "c|--port|/dev/c|--message|say \"hi \\n", "d|--port|/dev/d|--message-file|/s/C:\\temp\\new"},
     {}},
    {"BomCrOnlyMixedEndsAndComments",
     "\xEF\xBB\xBF; signs\r  # indented\r\n[a]\rport=/dev/a\n\n;message=no\rmessage=yes\r\n",
     {"a|--port|/dev/a|--message|yes"},
     {}},
    {"UnclosedQuoteSwallowsNothing",
     "[a]\nport=/dev/a\nmessage=\"legacy\n[b]\nport=/dev/b\n",
     {},
     QStringLiteral(
         "/s/signs.ini:3: 'message=\"legacy': the value's opening '\"' is never closed")},
    {"ValueWithACommentIsBad",
     "[a]\nport=/dev/a\nid=3 ; lobby\n",
     {},
     QStringLiteral("/s/signs.ini:3 [a]: --id: '3 ; lobby' is not a whole number from 0 to 99")},
    {"GroupsAreNamesNotOptions",
     "[a]\nport=/dev/a\ngroup= floor1 , lobbies,floor1\n[b]\nport=/dev/b\ngroup=x:y\n",
     {},
     QStringLiteral("/s/signs.ini:6 [b] group: 'x:y' is not a group name (letters, digits and "
                    "signs but ':', ',' and blanks)")},
    {"GroupsListed",
     "[a]\nport=/dev/a\ngroup= floor1 , lobbies,floor1\n",
     {"a|--port|/dev/a|groups=floor1,lobbies"},
     {}},
    {"EveryBadLineNamed",
     "speed=1\n[a]\nport=/dev/a\nport=/dev/b\ncolour=red\n[b\nport=/dev/c\n[a]\nport=/dev/d\n[c]\n",
     {},
     QStringLiteral(
         "/s/signs.ini:1 speed: before any [sign] section\n"
         "/s/signs.ini:4 [a] port: given again (first on line 3)\n"
         "/s/signs.ini:5 [a] colour: unknown key (known: port id tz message message-file "
         "time-format date-style date-order speed group)\n"
         "/s/signs.ini:6: '[b' has no closing ']'\n"
         "/s/signs.ini:8 [a]: a second section of that name (the first is on line 2)\n"
         "/s/signs.ini:10 [c] port: no port")},
};

INSTANTIATE_TEST_SUITE_P(SignsFile, SignsFileTableTest, ::testing::ValuesIn(kSignsRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial::cli
