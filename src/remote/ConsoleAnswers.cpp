#include "remote/ConsoleAnswers.h"

std::optional<QByteArray> settingValueIn(QByteArrayView setting, QByteArrayView output)
{
    const QByteArrayView line = output.trimmed();
    const QByteArrayView is = "\" is \"";
    const qsizetype prefix = 1 + setting.size() + is.size();
    if (line.size() <= prefix || !line.startsWith('"') || !line.endsWith('"')
        || line.sliced(1, setting.size()).compare(setting, Qt::CaseInsensitive) != 0
        || line.sliced(1 + setting.size(), is.size()) != is)
        return std::nullopt;
    return line.sliced(prefix).chopped(1).toByteArray();
}

bool execFailedIn(QByteArrayView output)
{
    return output.contains("couldn't exec") || output.contains(": invalid path.")
        || output.contains("not enough space");
}
