#pragma once

#include <QLocale>
#include <QString>

// A count as the windows write it: in English, thousands grouped ("1,536").
inline QString inDigits(qsizetype number)
{
    return QLocale(QLocale::English).toString(number);
}
