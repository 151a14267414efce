#include "link/PortSettings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace meridial {
namespace {

// Helpers shared by the plain and the table-driven suites.
class SettingsFiles {
protected:
    QString PathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString WriteFile(const QByteArray& content, const char* name = "meridial.INI") {
        const QString path = PathOf(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

class PortSettingsTest : public ::testing::Test, protected SettingsFiles {};

TEST_F(PortSettingsTest, MissingFileGivesComOneAndCreatesNothing) {
    const PortSettings settings(PathOf("meridial.INI"));
    EXPECT_EQ(settings.ReadPortNumber(), 1);
    EXPECT_EQ(settings.CodePage(), QString());
    EXPECT_FALSE(QFile::exists(settings.Path()));
}

TEST_F(PortSettingsTest, WrittenNumberIsReadBackAndStoredInDecimal) {
    const PortSettings settings(PathOf("meridial.INI"));
    EXPECT_TRUE(settings.WritePortNumber(4).ok());
    EXPECT_EQ(PortSettings(settings.Path()).ReadPortNumber(), 4);
    const QByteArray text = ReadFile(settings.Path());
    EXPECT_TRUE(text.contains("[Sign]")) << text.constData();
    EXPECT_TRUE(text.contains("comport=4")) << text.constData();
}

TEST_F(PortSettingsTest, HandEditedFileReadsDespiteCommentsCaseCrLfAndBom) {
    const QString path = WriteFile(
        "\xEF\xBB\xBF; sign settings\r\n# written by hand\r\n[SIGN]\r\nComPort = 0x3\r\n"
        "CodePage=936\r\n[ports]\r\nCOM3=/dev/ttyUSB0\r\n");
    const PortSettings settings(path);
    EXPECT_EQ(settings.ReadPortNumber(), 3);
    EXPECT_EQ(settings.CodePage(), QStringLiteral("936"));
    EXPECT_EQ(settings.DeviceForPort(3), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(settings.DeviceForPort(2), QStringLiteral("/dev/ttyS1"));

    // Storing a new number keeps the operator's other entries.
    EXPECT_TRUE(settings.WritePortNumber(5).ok());
    const PortSettings reread(path);
    EXPECT_EQ(reread.ReadPortNumber(), 5);
    EXPECT_EQ(reread.DeviceForPort(3), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(reread.CodePage(), QStringLiteral("936"));
}

TEST_F(PortSettingsTest, ValuesThatAreNotIntegersGiveComOne) {
    for (const char* value : {"COM4", "", "4,5", "0x", "abc"}) {
        const QString path = WriteFile(QByteArray("[Sign]\ncomport=") + value + "\n");
        EXPECT_EQ(PortSettings(path).ReadPortNumber(), 1) << value;
    }
    const QString outOfRange = WriteFile("[Sign]\ncomport=12\n");
    EXPECT_EQ(PortSettings(outOfRange).ReadPortNumber(), 12);  // kept; the link opens COM1
    EXPECT_EQ(PortSettings(outOfRange).DeviceForPort(12), QStringLiteral("/dev/ttyS0"));
}

TEST_F(PortSettingsTest, UnwritableFileReportsItsFullPathAndStaysIntact) {
    // Under a regular file no folder can be made, even for root.
    const QString blocker = WriteFile("[Sign]\ncomport=2\n");
    const PortSettings settings(blocker + QStringLiteral("/meridial.INI"));
    const Status written = settings.WritePortNumber(4);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(QString::fromStdString(written.error()),
              QStringLiteral("Unable to write to %1").arg(settings.Path()));
    EXPECT_EQ(ReadFile(blocker), QByteArray("[Sign]\ncomport=2\n"));
}

TEST_F(PortSettingsTest, EnvironmentNamesTheFile) {
    qputenv("MERIDIAL_SETTINGS", PathOf("other.ini").toLocal8Bit());
    EXPECT_EQ(PortSettings::DefaultPath(), PathOf("other.ini"));
    qunsetenv("MERIDIAL_SETTINGS");
    EXPECT_TRUE(PortSettings::DefaultPath().endsWith(QStringLiteral("meridial.INI")) ||
                PortSettings::DefaultPath().endsWith(QStringLiteral("meridial/meridial.ini")));
}

// Saving the port edits a hand-written file in place: only the value of "comport" under [Sign]
// changes; every other byte stays where the user put it.
struct InPlaceRow {
    const char* name;
    QByteArray before;
    int port;
    QByteArray after;
};

class PortSettingsInPlaceTest : public ::testing::TestWithParam<InPlaceRow>,
                                protected SettingsFiles {};

TEST_P(PortSettingsInPlaceTest, OnlyTheComportValueChanges) {
    const InPlaceRow& row = GetParam();
    const QString path = WriteFile(row.before);
    EXPECT_TRUE(PortSettings(path).WritePortNumber(row.port).ok());
    EXPECT_EQ(ReadFile(path), row.after);
    // The reader agrees with what was written.
    EXPECT_EQ(PortSettings(path).ReadPortNumber(), row.port);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("meridial.INI")})
        << "the atomic save must leave no temporary file";
}

const InPlaceRow kInPlaceRows[] = {
    {"CommentsAndPortsKept",
     "; sign in the hall\n[Sign]\ncomport=2\n\n; the FTDI cable\n[Ports]\nCOM3=/dev/ttyUSB0\n", 3,
     "; sign in the hall\n[Sign]\ncomport=3\n\n; the FTDI cable\n[Ports]\nCOM3=/dev/ttyUSB0\n"},
    {"CrLfBomAndCaseKept",
     "\xEF\xBB\xBF; by hand\r\n[SIGN]\r\nComPort = 0x3\r\nCodePage=936\r\n[ports]\r\n"
     "COM3=/dev/ttyUSB0\r\n",
     5,
     "\xEF\xBB\xBF; by hand\r\n[SIGN]\r\nComPort = 5\r\nCodePage=936\r\n[ports]\r\n"
     "COM3=/dev/ttyUSB0\r\n"},
    {"BomRightBeforeTheSection", "\xEF\xBB\xBF[Sign]\r\ncomport=1\r\n", 6,
     "\xEF\xBB\xBF[Sign]\r\ncomport=6\r\n"},
    {"SectionOrderKept", "[Ports]\nCOM3=/dev/ttyACM0\n[Sign]\ncodepage=936\ncomport=1\n", 8,
     "[Ports]\nCOM3=/dev/ttyACM0\n[Sign]\ncodepage=936\ncomport=8\n"},
    {"CommentAfterTheValueKept", "[Sign]\ncomport=2   ; the adapter\n", 7,
     "[Sign]\ncomport=7   ; the adapter\n"},
    {"EmptyValueFilled", "[Sign]\ncomport=\n", 4, "[Sign]\ncomport=4\n"},
    {"MissingKeyGoesUnderTheSection", "[Sign]\r\ncodepage=936\r\n[Ports]\r\n", 4,
     "[Sign]\r\ncomport=4\r\ncodepage=936\r\n[Ports]\r\n"},
    {"CommentedOutKeyIsNotTheKey", "[Sign]\n;comport=9\n", 4, "[Sign]\ncomport=4\n;comport=9\n"},
    {"SectionHeaderWithoutLineEnd", "[Sign]", 2, "[Sign]\ncomport=2"},
    {"MissingSectionAppended", "; only the ports\n[Ports]\nCOM3=/dev/ttyUSB1", 4,
     "; only the ports\n[Ports]\nCOM3=/dev/ttyUSB1\n[Sign]\ncomport=4\n"},
    {"KeyOfAnotherSectionUntouched", "[Ports]\r\ncomport=9\r\n", 2,
     "[Ports]\r\ncomport=9\r\n[Sign]\r\ncomport=2\r\n"},
    // The first copy is the one read, as the Windows profile functions read it.
    {"OnlyTheFirstCopyChanges", "[Sign]\ncomport=1\n[sign]\ncomport=2\n", 4,
     "[Sign]\ncomport=4\n[sign]\ncomport=2\n"},
    {"DuplicateKeyInOneSection", "[Sign]\ncomport=2\ncomport=6\n", 5,
     "[Sign]\ncomport=5\ncomport=6\n"},
    {"CrOnlyLineEnds", "[Sign]\rcomport=2\r[Ports]\rCOM5=/dev/ttyUSB0\r", 5,
     "[Sign]\rcomport=5\r[Ports]\rCOM5=/dev/ttyUSB0\r"},
    {"CrOnlyMissingSection", "[Ports]\rCOM5=/dev/ttyUSB0", 5,
     "[Ports]\rCOM5=/dev/ttyUSB0\r[Sign]\rcomport=5\r"},
    {"StrayQuoteLineKept", "\"legacy\n[Sign]\ncomport=3\n", 5, "\"legacy\n[Sign]\ncomport=5\n"},
    {"UnterminatedHeaderIsNotTheSection", "[SIGN\ncomport=3\n", 5,
     "[SIGN\ncomport=3\n[Sign]\ncomport=5\n"},
    {"EmptyValueBeforeComment", "[Sign]\ncomport= ;note\n", 5, "[Sign]\ncomport= 5 ;note\n"},
    {"EmptyFile", "", 1, "[Sign]\ncomport=1\n"},
};

INSTANTIATE_TEST_SUITE_P(HandEditedFiles, PortSettingsInPlaceTest,
                         ::testing::ValuesIn(kInPlaceRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A line the reader cannot use is named with its number; the rest of the file still counts.
struct LineProblemRow {
    const char* name;
    QByteArray file;
    int port;
    const char* com3;
    QStringList problems;
};

class PortSettingsLineProblemTest : public ::testing::TestWithParam<LineProblemRow>,
                                    protected SettingsFiles {};

TEST_P(PortSettingsLineProblemTest, RestOfTheFileCounts) {
    const LineProblemRow& row = GetParam();
    const PortSettings settings(WriteFile(row.file));
    EXPECT_EQ(settings.ReadPortNumber(), row.port);
    EXPECT_EQ(settings.DeviceForPort(3), QString::fromLatin1(row.com3));
    EXPECT_EQ(settings.LineProblems(), row.problems);
    EXPECT_EQ(settings.Problem(), QString());
}

const LineProblemRow kLineProblemRows[] = {
    {"StrayQuote",
     "\"legacy\n[Sign]\ncomport=3\n[Ports]\nCOM3=/dev/mine\n",
     3,
     "/dev/mine",
     {QStringLiteral("line 1: '\"legacy' is neither key=value, [section] nor a comment")}},
    {"UnterminatedHeader",
     "[Sign]\ncomport=2\n[SIGN\ncomport=6\n[Ports]\nCOM3=/dev/mine\n",
     2,
     "/dev/mine",
     {QStringLiteral("line 3: '[SIGN' has no closing ']'; the entries under it are not used")}},
    {"DuplicateComport",
     "[Sign]\r\ncomport=2\r\nComPort=6\r\n",
     2,
     "/dev/ttyS2",
     {QStringLiteral("line 3: 'ComPort' again in [Sign]; line 2 counts")}},
    {"UnclosedQuoteOnlyItsLine",
     "[Ports]\nCOM3=\"/dev/my port\nCOM3=\"/dev/my port\"  ; quoted\n",
     1,
     "/dev/my port",
     {QStringLiteral("line 2: 'COM3=\"/dev/my port': the value's opening '\"' is never closed")}},
    {"CommentsAfterValuesAndCrOnly",
     "[Sign]\rcomport=3   ; the adapter\r[Ports] ; mine\rCOM3=/dev/a;b\r",
     3,
     "/dev/a;b",
     {}},
};

INSTANTIATE_TEST_SUITE_P(HandEditedFiles, PortSettingsLineProblemTest,
                         ::testing::ValuesIn(kLineProblemRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Keys the user's file lacks come from the administrator's file; the user's own keys win, also
// an empty one.
struct FallbackRow {
    const char* name;
    std::optional<QByteArray> user;  // nullopt: no file
    QByteArray system;
    int port;
    const char* com3;
};

class PortSettingsFallbackTest : public ::testing::TestWithParam<FallbackRow>,
                                 protected SettingsFiles {};

TEST_P(PortSettingsFallbackTest, SystemFileFillsMissingKeys) {
    const FallbackRow& row = GetParam();
    const QString user = PathOf("home/meridial.ini");
    if (row.user) WriteFile(*row.user, "home/meridial.ini");
    const QString system = WriteFile(row.system, "etc/meridial.ini");
    const PortSettings settings(user, {PathOf("missing/meridial.ini"), system});
    EXPECT_EQ(settings.ReadPortNumber(), row.port);
    EXPECT_EQ(settings.DeviceForPort(3), QString::fromLatin1(row.com3));

    // Saving writes the user's file only.
    EXPECT_TRUE(settings.WritePortNumber(2).ok());
    EXPECT_EQ(ReadFile(system), row.system);
    EXPECT_EQ(PortSettings(user).ReadPortNumber(), 2);
}

const FallbackRow kFallbackRows[] = {
    {"NoUserFile", std::nullopt, "[Sign]\ncomport=3\n[Ports]\nCOM3=/dev/sign\n", 3, "/dev/sign"},
    {"UserPortSystemMap", "[Sign]\ncomport=5\n", "[Sign]\ncomport=3\n[Ports]\nCOM3=/dev/sign\n", 5,
     "/dev/sign"},
    {"UserMapWins", "[ports]\ncom3=/dev/mine\n", "[Ports]\nCOM3=/dev/sign\n", 1, "/dev/mine"},
    {"EmptyUserValueWins", "[Sign]\ncomport=\n", "[Sign]\ncomport=3\n", 1, "/dev/ttyS2"},
};

INSTANTIATE_TEST_SUITE_P(AdministratorDefaults, PortSettingsFallbackTest,
                         ::testing::ValuesIn(kFallbackRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Which file is used. Installed, the program's folder is /usr/bin, writable by root: a new file
// must never be made there, only an existing portable copy is honoured.
struct LocationRow {
    const char* name;
    bool environment;
    bool besideProgram;
    enum class Expect { Environment, BesideProgram, User } expect;
};

class PortSettingsLocationTest : public ::testing::TestWithParam<LocationRow>,
                                 protected SettingsFiles {
protected:
    void TearDown() override {
        if (m_madeBeside) QFile::remove(BesideProgram());
        qunsetenv("MERIDIAL_SETTINGS");
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
    }
    static QString BesideProgram() {
        return QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("meridial.INI"));
    }
    bool m_madeBeside = false;
};

TEST_P(PortSettingsLocationTest, PicksTheFile) {
    const LocationRow& row = GetParam();
    ASSERT_TRUE(QFileInfo(QCoreApplication::applicationDirPath()).isWritable());
    if (QFileInfo::exists(BesideProgram())) GTEST_SKIP() << "a meridial.INI is beside the tests";
    qputenv("XDG_CONFIG_HOME", PathOf("home").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (PathOf("etc1") + u':' + PathOf("etc2")).toLocal8Bit());
    if (row.environment) qputenv("MERIDIAL_SETTINGS", PathOf("env.ini").toLocal8Bit());
    if (row.besideProgram) {
        QFile file(BesideProgram());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        m_madeBeside = true;
    }

    const PortSettings settings(PortSettings::DefaultPath());
    switch (row.expect) {
        case LocationRow::Expect::Environment:
            EXPECT_EQ(settings.Path(), PathOf("env.ini"));
            EXPECT_TRUE(settings.FallbackPaths().isEmpty());
            break;
        case LocationRow::Expect::BesideProgram:
            EXPECT_EQ(settings.Path(), BesideProgram());
            EXPECT_TRUE(settings.FallbackPaths().isEmpty());
            break;
        case LocationRow::Expect::User:
            EXPECT_EQ(settings.Path(), PathOf("home/meridial/meridial.ini"));
            EXPECT_EQ(settings.FallbackPaths(),
                      (QStringList{PathOf("etc1/meridial/meridial.ini"),
                                   PathOf("etc2/meridial/meridial.ini")}));
            break;
    }
}

const LocationRow kLocationRows[] = {
    {"EnvironmentWins", true, true, LocationRow::Expect::Environment},
    {"PortableCopyBesideTheProgram", false, true, LocationRow::Expect::BesideProgram},
    {"WritableProgramFolderIsNotUsed", false, false, LocationRow::Expect::User},
};

INSTANTIATE_TEST_SUITE_P(SettingsFile, PortSettingsLocationTest, ::testing::ValuesIn(kLocationRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
