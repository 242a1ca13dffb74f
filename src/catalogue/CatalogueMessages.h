#pragma once

#include <QString>

// Messages about the catalogue, shown by the window code (the walk itself shows nothing).
namespace CatalogueMessages {

// The index has no page count, or does not exist. Shown at every message level, with the
// reason on a second line.
inline const QString OldFormat =
    QStringLiteral("Внимание! Старый формат больше не поддерживается!");
// A page file without its list of sub-tabs, or missing. Message level 1 or 0.
inline const QString PageFileError = QStringLiteral("Ошибка в файле настроек! (1)");
// The index counts fewer than no pages. Shown at every message level, with the reason.
inline const QString NoPages = QStringLiteral("Вкладки не построены.");
// Any other failure while the pages are read and built. Message level 1 or 0.
inline const QString WalkFailed = QStringLiteral("Ошибка в файле настроек Pages.ini! (2)");

// More pages switched on than the program builds: the first MaxEnabledPages are built, the start
// goes on. Shown at every message level; the arguments are the limit and the count.
inline QString tooManyPages(int limit, int enabled)
{
    return QStringLiteral("Включено страниц: %2, программа строит не больше %1. Построены первые "
                          "%1, остальные страницы пропущены.")
        .arg(limit)
        .arg(enabled);
}

// More sub-tabs on one page than the program builds: the first limit are built, the start goes
// on. Shown at every message level.
inline QString tooManySubTabs(const QString &page, int limit, int count)
{
    return QStringLiteral("На странице %1 подвкладок: %3, программа строит не больше %2. "
                          "Построены первые %2, остальные подвкладки пропущены.")
        .arg(page)
        .arg(limit)
        .arg(count);
}

} // namespace CatalogueMessages
