// What listip prints, read: never a crash, and the list read, printed in the engine's forms, reads
// back the same.
#include "formats/BanListReplies.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const BanListReply reply = readBanListReply(QByteArrayView(data, qsizetype(size)), BanList::Addresses);
    if (readBanListReply(printedBanList(reply.bans, BanList::Addresses), BanList::Addresses).bans != reply.bans)
        __builtin_trap();
    return 0;
}
