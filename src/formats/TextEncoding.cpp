#include "formats/TextEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace {

// Windows-1252 is Latin-1 but for 80 to 9F. A table of our own keeps it exact on every system:
// a Qt built without ICU has no converter for it.
// clang-format off
constexpr auto windows1252From80 = std::to_array<char16_t>({
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
});
// clang-format on

constexpr unsigned char first1252Special = 0x80;
constexpr unsigned char last1252Special = 0x9F;
static_assert(windows1252From80.size() == last1252Special - first1252Special + 1);

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool special = byte >= first1252Special && byte <= last1252Special;
        text[i] = QChar(special ? windows1252From80.at(byte - first1252Special) : char16_t(byte));
    }
    return text;
}

std::optional<QByteArray> toWindows1252(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const auto special = std::find(windows1252From80.begin(), windows1252From80.end(), c);
        if (special != windows1252From80.end())
            bytes[i] = char(first1252Special + (special - windows1252From80.begin()));
        else if (c < first1252Special || (c > last1252Special && c <= 0xFF))
            bytes[i] = char(c);
        else
            return std::nullopt;
    }
    return bytes;
}

// Qt's own converters for the sets other than Windows-1252.
QStringConverter::Encoding qtConverter(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? QStringConverter::Utf8 : QStringConverter::System;
}

bool validUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

TextEncoding platformEncoding()
{
#ifdef Q_OS_WIN
    return TextEncoding::SystemCodePage;
#else
    return TextEncoding::Utf8;
#endif
}

TextEncoding detectEncoding(QByteArrayView bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char byte) { return (byte & 0x80) == 0; });
    if (ascii)
        return platformEncoding();
    return validUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Windows1252)
        return fromWindows1252(bytes);
    // Stateless, so that an incomplete sequence at the end is not silently held back; converting
    // the initial byte-order mark, so that a line is taken whole.
    QStringDecoder decoder(
        qtConverter(encoding), QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encodeText(const QString& text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Windows1252)
        return toWindows1252(text);
    // A converter puts a stand-in for a character it cannot hold: taking the bytes back shows it.
    QStringEncoder encoder(qtConverter(encoding), QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (decodeText(bytes, encoding) != text)
        return std::nullopt;
    return bytes;
}

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case TextEncoding::SystemCodePage:
        return QStringLiteral("the system's code page");
    }
    Q_UNREACHABLE();
    return {};
}
