#pragma once

#include "formats/Failure.h"
#include "formats/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <variant>

// The message of the day, tfc/motd.txt: plain text that the game sends each player who joins, up
// to its first 1,536 bytes; a NUL byte ends it early. Nothing in it is markup.
inline constexpr qsizetype motdSentBytes = 1536;

// The file as its text and the set and line end it came in. The text has "\n" for each CR LF, LF
// or CR alone, so that an editor shows it line by line.
struct Motd {
    QByteArray bytes;
    TextEncoding encoding = TextEncoding::Utf8;
    QString text;
};

Motd motdOf(QByteArrayView bytes, TextEncoding otherwise);

// The bytes of the message as edited: the file's own when the text is as it came, every byte kept;
// otherwise the text in the file's set and line end. Why it cannot be saved when the set cannot
// hold a character of it, or it holds a NUL.
[[nodiscard]] std::variant<QByteArray, QString> motdBytes(const Motd& file, const QString& text);

QString motdPath(const QString& serverFolder);
[[nodiscard]] std::variant<Motd, Failure> readMotd(const QString& serverFolder, TextEncoding otherwise);
