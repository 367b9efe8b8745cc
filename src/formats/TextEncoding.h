#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The 8-bit character sets Quillmont's files come in. Files are written back in the set their
// settings were read in, so every byte that came in goes out unchanged.
enum class TextEncoding {
    Utf8,
    Windows1252, // with the five bytes it leaves undefined taken as the C1 controls, as Windows does
    SystemCodePage, // Windows only: the code page of the system's locale
};

// What a file is written in when no file says otherwise: UTF-8 on Linux, the system's code page
// on Windows.
TextEncoding platformEncoding();

// The set a file's bytes are in: the platform's when they are all ASCII; UTF-8 when the whole file
// is valid UTF-8; otherwise Windows-1252, which gives every byte a character of its own.
TextEncoding detectEncoding(QByteArrayView bytes);

// Every character kept, a byte-order mark at the start included.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// The text's bytes, or nothing when the set cannot hold every one of its characters.
std::optional<QByteArray> encodeText(const QString& text, TextEncoding encoding);

// How messages name the set: "UTF-8", "Windows-1252", "the system's code page".
QString encodingName(TextEncoding encoding);
