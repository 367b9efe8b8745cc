// A map cycle read and saved unedited comes back byte for byte; edited, it reads back as the
// edits left it.
#include "formats/MapCycle.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    MapCycle cycle(bytes);
    if (cycle.bytes() != bytes)
        __builtin_trap();
    const qsizetype count = cycle.size();
    if (count == 0)
        return 0;
    // The edits chosen by the first byte, as the window makes them.
    const qsizetype at = data[0] % count;
    cycle.move(at, count - 1 - at);
    cycle.insert(at, "added");
    cycle.remove(count - 1);
    QList<MapCycle::Entry> edited = cycle.entries(), read = MapCycle(cycle.bytes()).entries();
    if (edited.size() != read.size())
        __builtin_trap();
    for (qsizetype i = 0; i < read.size(); ++i) {
        if (edited[i].map != read[i].map || edited[i].info != read[i].info)
            __builtin_trap();
    }
    return 0;
}
