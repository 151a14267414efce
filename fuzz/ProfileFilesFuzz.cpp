// The settings file and the signs file on any bytes: no crash, no hang; every value is the bytes
// the parser says it came from; a port stored in any settings file reads back as that port;
// every line a signs file cannot use is named with the file and its line.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "cli/SignsFile.h"
#include "link/PortSettings.h"
#include "link/ProfileFile.h"

using namespace meridial;
using meridial::fuzz::Broken;

namespace {

void CheckRanges(std::string_view bytes, const ProfileFile& file) {
    auto check = [&](const ProfileEntry& entry) {
        if (entry.valueBegin > entry.valueEnd || entry.valueEnd > bytes.size() ||
            bytes.substr(entry.valueBegin, entry.valueEnd - entry.valueBegin) != entry.value)
            Broken("a value is not the bytes of its range");
        if (entry.value.find_first_of("\r\n") != std::string::npos)
            Broken("a value runs past its line");
    };
    for (const ProfileEntry& entry : file.loose) check(entry);
    for (const ProfileSection& section : file.sections)
        for (const ProfileEntry& entry : section.entries) check(entry);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const int port = 1 + input.Byte() % 8;
    const std::string text = input.Rest();
    for (const bool trailing : {false, true})
        CheckRanges(text, ParseProfile(text, {.trailingComments = trailing}));

    SettingsProblems(text);
    const std::string stored = SettingsWithPortNumber(text, port);
    const auto value = SettingsValue(stored, "sign", "COMPORT");
    if (!value || *value != std::to_string(port)) Broken("a stored port does not read back");

    const QString path = QStringLiteral("fuzz.ini");
    const auto signs = cli::ReadSignsText(
        QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())), path);
    if (!signs) {
        for (const QString& line : signs.error().split(u'\n'))
            if (!line.startsWith(path + u':')) Broken("a signs file error names no line");
        return 0;
    }
    for (const cli::NamedSign& sign : *signs)
        if (sign.port.isEmpty() || sign.arguments.size() % 2 != 0 || sign.name.isEmpty())
            Broken("a sign without port or name got through");
    return 0;
}
