// A message of the day read and saved unedited comes back byte for byte, unless a NUL refuses it.
#include "formats/Motd.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    for (const TextEncoding set : {TextEncoding::Utf8, TextEncoding::Windows1252}) {
        const Motd motd = motdOf(bytes, set);
        const std::variant<QByteArray, QString> saved = motdBytes(motd, motd.text);
        if (bytes.contains('\0') != std::holds_alternative<QString>(saved))
            __builtin_trap();
        if (const QByteArray* same = std::get_if<QByteArray>(&saved); same && *same != bytes)
            __builtin_trap();
        // Edited, it reads back as the editor held it.
        const std::variant<QByteArray, QString> edited = motdBytes(motd, motd.text + QStringLiteral("\nend"));
        if (const QByteArray* changed = std::get_if<QByteArray>(&edited);
            changed && motdOf(*changed, set).text != motd.text + QStringLiteral("\nend"))
            __builtin_trap();
    }
    return 0;
}
