#include "reader/PageCatalogue.h"

pages::PageEntry pages::pageEntry(int page)
{
    using namespace pages;
    if (page >= kFirstLecture && page <= kLastLecture) {
        const QString n = QString::number(page);
        return {QStringLiteral("lections/lection") + n + QStringLiteral(".rvf"),
                QStringLiteral("lecture") + n, kToolbarFrameLecture};
    }
    switch (page) {
    case kInfo:
        return {QStringLiteral("lections/info.rvf"), QString(), kToolbarFrameInfo};
    case kContents:
        return {QStringLiteral("lections/content.rvf"), QString(), -1};
    case kDictionary:
        return {QStringLiteral("lections/dict.rvf"), QString(), -1};
    case kIntroduction:
        return {QStringLiteral("lections/intro.rvf"), QString(), -1};
    default:
        return {QStringLiteral("lections/info.rvf"), QString(), -1};
    }
}
