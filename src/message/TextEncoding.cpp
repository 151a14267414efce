#include "message/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace meridial {
namespace {

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter OpenConverter(const QString& codePage) {
    const iconv_t handle = iconv_open(codePage.toLatin1().constData(), "UTF-8");
    if (handle == reinterpret_cast<iconv_t>(-1)) return Converter{};
    return Converter{handle};
}

// One character (a whole code point) through the converter; false when the code page has none.
bool ConvertOne(void* converter, const QString& character, std::string& out) {
    QByteArray utf8 = character.toUtf8();
    char* in = utf8.data();
    std::size_t inLeft = static_cast<std::size_t>(utf8.size());
    char buffer[16];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(static_cast<iconv_t>(converter), nullptr, nullptr, nullptr, nullptr);
    if (iconv(static_cast<iconv_t>(converter), &in, &inLeft, &outPtr, &outLeft) ==
            static_cast<std::size_t>(-1) ||
        inLeft != 0)
        return false;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

// The sign takes a Windows ANSI code page: one or two bytes a character, ASCII as itself. iconv
// also takes suffixes ("//TRANSLIT" turns what the page lacks into "?", "//IGNORE" drops it, both
// silently) and encodings of another kind (UTF-16 puts a byte order mark before every character
// converted on its own; UTF-8, UTF-7, GB18030, EUC-JP, EUC-TW and ISO-2022 take more bytes or
// escape sequences). These probes show each of them up.
bool IsPlainCodePage(const QString& codePage, void* converter) {
    if (codePage.contains(QLatin1Char('/')) || codePage.contains(QLatin1Char(','))) return false;
    std::string ascii;
    if (!ConvertOne(converter, QStringLiteral("A"), ascii) || ascii != "A") return false;
    for (const char16_t* probe :
         {u"\u00e9", u"\u00a6", u"\u20ac", u"\u4e2d", u"\u4e02", u"\uac00", u"\U00020000"}) {
        std::string bytes;
        if (ConvertOne(converter, QString::fromUtf16(probe), bytes) && bytes.size() > 2)
            return false;
    }
    return true;
}

// A converter for the sign's code page, or none with the reason.
Converter OpenSignConverter(const QString& codePage, QString& error) {
    Converter converter = OpenConverter(codePage);
    if (!converter) {
        error = QStringLiteral("The code page %1 is not known on this system.").arg(codePage);
    } else if (!IsPlainCodePage(codePage, converter.get())) {
        error = QStringLiteral(
                    "The code page %1 cannot be used: the sign takes a plain single- or "
                    "double-byte code page, without suffixes.")
                    .arg(codePage);
        converter.reset();
    }
    return converter;
}

// The sign's code page one character at a time, so the first it lacks can be named.
CharacterConverter Characters(void* converter) {
    return [converter](char32_t c) -> std::optional<std::string> {
        std::string bytes;
        if (!ConvertOne(converter, QString::fromUcs4(&c, 1), bytes)) return std::nullopt;
        return bytes;
    };
}

}  // namespace

QString CodePageForLocale(const QLocale& locale) {
    return QString::fromStdString(
        CodePageForLanguage({QLocale::languageToCode(locale.language()).toStdString(),
                             QLocale::scriptToCode(locale.script()).toStdString(),
                             QLocale::territoryToCode(locale.territory()).toStdString()}));
}

QString ResolveCodePage(const QString& configured, const QLocale& locale) {
    const QString name = configured.trimmed();
    if (name.isEmpty()) return CodePageForLocale(locale);
    bool isNumber = false;
    name.toInt(&isNumber);
    return isNumber ? QStringLiteral("CP") + name : name.toUpper();
}

EncodedText EncodeForSign(const QString& text, const QString& codePage) {
    QString error;
    Converter converter = OpenSignConverter(codePage, error);
    if (!converter) return EncodedText::Fail(error.toStdString());
    return EncodeCharacters(text.toStdU32String(), codePage.toStdString(),
                            Characters(converter.get()));
}

int EncodedLength(const QString& text, const QString& codePage) {
    QString unusable;
    Converter converter = OpenSignConverter(codePage, unusable);
    return CountSignBytes(text.toStdU32String(),
                          converter ? Characters(converter.get()) : CharacterConverter{});
}

MessageEncoder CodePageEncoder(std::function<QString()> configuredCodePage) {
    auto text = [](std::string_view utf8) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    };
    return {[=](std::string_view utf8) {
                return EncodeForSign(text(utf8), ResolveCodePage(configuredCodePage()));
            },
            [=](std::string_view utf8) {
                return EncodedLength(text(utf8), ResolveCodePage(configuredCodePage()));
            }};
}

}  // namespace meridial
