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

template <typename OnCharacter>
void ForEachCharacter(const QString& text, OnCharacter onCharacter) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!onCharacter(text.mid(i, width))) return;
        i += width;
    }
}

// The editor gives one LF per line break; the sign's code page text has CR LF.
QString WithWindowsLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString DescribeCharacter(const QString& character) {
    const char32_t code = character.toUcs4().value(0);
    return QStringLiteral("\"%1\" (U+%2)")
        .arg(character)
        .arg(static_cast<uint>(code), 4, 16, QLatin1Char('0'))
        .toUpper();
}

}  // namespace

QString CodePageForLocale(const QLocale& locale) {
    switch (locale.language()) {
        case QLocale::Chinese: {
            const bool traditional = locale.script() == QLocale::TraditionalChineseScript ||
                                     locale.territory() == QLocale::Taiwan ||
                                     locale.territory() == QLocale::HongKong ||
                                     locale.territory() == QLocale::Macao;
            return traditional ? QStringLiteral("CP950") : QStringLiteral("CP936");
        }
        case QLocale::Japanese:
            return QStringLiteral("CP932");
        case QLocale::Korean:
            return QStringLiteral("CP949");
        case QLocale::Thai:
            return QStringLiteral("CP874");
        case QLocale::Russian:
        case QLocale::Ukrainian:
        case QLocale::Belarusian:
        case QLocale::Bulgarian:
        case QLocale::Macedonian:
        case QLocale::Kazakh:
        case QLocale::Kyrgyz:
        case QLocale::Tatar:
        case QLocale::Mongolian:
            return QStringLiteral("CP1251");
        case QLocale::Serbian:
            return locale.script() == QLocale::LatinScript ? QStringLiteral("CP1250")
                                                           : QStringLiteral("CP1251");
        case QLocale::Polish:
        case QLocale::Czech:
        case QLocale::Slovak:
        case QLocale::Hungarian:
        case QLocale::Croatian:
        case QLocale::Slovenian:
        case QLocale::Romanian:
        case QLocale::Albanian:
        case QLocale::Bosnian:
            return QStringLiteral("CP1250");
        case QLocale::Greek:
            return QStringLiteral("CP1253");
        case QLocale::Turkish:
        case QLocale::Azerbaijani:
            return QStringLiteral("CP1254");
        case QLocale::Hebrew:
            return QStringLiteral("CP1255");
        case QLocale::Arabic:
        case QLocale::Persian:
        case QLocale::Urdu:
            return QStringLiteral("CP1256");
        case QLocale::Estonian:
        case QLocale::Latvian:
        case QLocale::Lithuanian:
            return QStringLiteral("CP1257");
        case QLocale::Vietnamese:
            return QStringLiteral("CP1258");
        default:
            return QStringLiteral("CP1252");
    }
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
    std::string bytes;
    ForEachCharacter(WithWindowsLineBreaks(text), [&](const QString& character) {
        if (ConvertOne(converter.get(), character, bytes)) return true;
        error = QStringLiteral(
                    "The character %1 cannot be sent: the sign's code page %2 has no such "
                    "character.")
                    .arg(DescribeCharacter(character), codePage);
        return false;
    });
    if (!error.isEmpty()) return EncodedText::Fail(error.toStdString());
    return bytes;
}

int EncodedLength(const QString& text, const QString& codePage) {
    QString unusable;
    Converter converter = OpenSignConverter(codePage, unusable);
    int length = 0;
    const QString windowsText = WithWindowsLineBreaks(text);
    ForEachCharacter(windowsText, [&](const QString& character) {
        std::string bytes;
        length += converter && ConvertOne(converter.get(), character, bytes)
                      ? static_cast<int>(bytes.size())
                      : 1;
        return true;
    });
    return length;
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
