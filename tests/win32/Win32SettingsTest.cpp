#include "win32/Win32Settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

namespace meridial {
namespace {

std::string TempPath(const std::string& name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    DeleteFileA(path.c_str());
    return path;
}

struct ProfileCase {
    const char* name;
    const char* file;  // nullptr: no file
    int portNumber;
    const char* device;  // the one opened for that number
};

class Win32SettingsReadTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(Win32SettingsReadTest, PortNumberAndItsDevice) {
    const std::string path = TempPath(std::string(GetParam().name) + ".INI");
    if (GetParam().file) std::ofstream(path, std::ios::binary) << GetParam().file;
    const Win32Settings settings(path);
    EXPECT_EQ(settings.PortNumber(), GetParam().portNumber);
    EXPECT_EQ(settings.DeviceForPort(settings.PortNumber()), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Win32SettingsReadTest,
    ::testing::Values(
        ProfileCase{"NoFile", nullptr, 1, "COM1"},
        ProfileCase{"Decimal", "[Sign]\r\ncomport=4\r\n", 4, "COM4"},
        ProfileCase{"Hex", "[Sign]\r\ncomport=0x6\r\n", 6, "COM6"},
        ProfileCase{"HexUpperAnyCaseNames", "[sign]\r\nCOMPORT = 0X7\r\n", 7, "COM7"},
        ProfileCase{"Garbage", "[Sign]\r\ncomport=COM3\r\n", 1, "COM1"},
        ProfileCase{"BareHexPrefix", "[Sign]\r\ncomport=0x\r\n", 1, "COM1"},
        ProfileCase{"TrailingGarbage", "[Sign]\r\ncomport=4x\r\n", 1, "COM1"},
        ProfileCase{"OutOfRange", "[Sign]\r\ncomport=9\r\n", 9, "COM1"},
        ProfileCase{"MappedDevice", "[Sign]\ncomport=3\n[Ports]\nCOM3=\\\\.\\COM14\n", 3,
                    "\\\\.\\COM14"},
        ProfileCase{"MappedComName", "[Sign]\ncomport=3\n[Ports]\nCOM3=com14\n", 3, "\\\\.\\com14"},
        ProfileCase{"OutOfRangeTakesCom1sMapping", "[Sign]\ncomport=0\n[Ports]\nCOM1=COM20\n", 0,
                    "\\\\.\\COM20"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Win32SettingsWriteTest, WritesDecimalKeepsTheRestAndNamesAFileItCannotWrite) {
    const std::string path = TempPath("Written.INI");
    std::ofstream(path, std::ios::binary) << "[Sign]\r\ncodepage = 936\r\n";
    Win32Settings settings(path);
    ASSERT_TRUE(settings.SetPortNumber(4));
    const Win32Settings reread(path);
    EXPECT_EQ(reread.PortNumber(), 4);
    EXPECT_EQ(reread.CodePage(), "936");

    const std::string unwritable = TempPath("no such folder\\Meridial.INI");
    Win32Settings nowhere(unwritable);
    const Status written = nowhere.SetPortNumber(5);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), "Unable to write to " + unwritable);
    EXPECT_EQ(nowhere.PortNumber(), 5) << "the run keeps the choice";
}

TEST(Win32SettingsWriteTest, ProfileBesideTheProgram) {
    EXPECT_EQ(ProfilePathFor("C:\\Tools\\Meridial.exe"), "C:\\Tools\\Meridial.INI");
    EXPECT_EQ(ProfilePathFor("C:\\v1.2\\Meridial"), "C:\\v1.2\\Meridial.INI");
    EXPECT_EQ(ProgramProfilePath().substr(ProgramProfilePath().size() - 15), "win32_tests.INI");
}

}  // namespace
}  // namespace meridial
