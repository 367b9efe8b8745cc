// A ban file read and saved unedited comes back byte for byte; a ban added keeps every byte before
// it and reads back banned for good; a ban taken out is no longer read.
#include "formats/BanFiles.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    for (const auto& [list, banned] : {std::pair(BanList::Ids, QByteArrayView("STEAM_0:1:2345")),
             std::pair(BanList::Addresses, QByteArrayView("198.51.100.7"))}) {
        const QByteArrayView entry = banned; // a lambda takes no structured binding in clang 14
        const QList<BanEntry> bans = bansInFile(bytes, list);
        if (std::none_of(bans.begin(), bans.end(), [&](const BanEntry& ban) { return ban.entry == entry; })
            && withoutBan(bytes, list, entry) != bytes)
            __builtin_trap();
        const std::optional<QByteArray> added = withPermanentBan(bytes, list, entry);
        if (!added || !added->startsWith(bytes) || !bansInFile(*added, list).contains(BanEntry{entry.toByteArray(), 0}))
            __builtin_trap();
        const QList<BanEntry> left = bansInFile(withoutBan(*added, list, entry), list);
        if (std::any_of(left.begin(), left.end(), [&](const BanEntry& ban) { return ban.entry == entry; }))
            __builtin_trap();
    }
    return 0;
}
