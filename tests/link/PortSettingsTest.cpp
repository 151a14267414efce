#include "link/PortSettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace meridial {
namespace {

class PortSettingsTest : public ::testing::Test {
protected:
    QString PathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString WriteFile(const QByteArray& content) {
        const QString path = PathOf("meridial.INI");
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

}  // namespace
}  // namespace meridial
