#include "reader/PageCatalogue.h"

PageEntry pageEntry(int page)
{
    if (page >= 1 && page <= 8) {
        const QString n = QString::number(page);
        return {QStringLiteral("lections/lection") + n + QStringLiteral(".rvf"),
                QStringLiteral("lecture") + n, 0};
    }
    switch (page) {
    case 0:
        return {QStringLiteral("lections/info.rvf"), QString(), 4};
    case 9:
        return {QStringLiteral("lections/content.rvf"), QString(), -1};
    case 11:
        return {QStringLiteral("lections/dict.rvf"), QString(), -1};
    case 18:
        return {QStringLiteral("lections/intro.rvf"), QString(), -1};
    default:
        return {QStringLiteral("lections/info.rvf"), QString(), -1};
    }
}
