#include "ui/window/RowNames.h"

namespace RowNames {

namespace {

const char *suffix(Part part)
{
    switch (part) {
    case Part::Apply:
        return "_";
    case Part::Caption:
        return "_V";
    case Part::Comment:
        return "_Comment";
    case Part::TradeApply:
        return "_B";
    case Part::TradeCheck:
        return "_TR";
    }
    return "";
}

const QString OrdinaryPrefix = QStringLiteral("Name_");
const QString TradePrefix = QStringLiteral("Name1_");
const QString TradeBoxSuffix = QStringLiteral("_s1");

} // namespace

QString ordinaryBox(int n)
{
    return OrdinaryPrefix + QString::number(n);
}

QString tradeBox(int n)
{
    return TradePrefix + QString::number(n) + TradeBoxSuffix;
}

QString box(int n, bool trade)
{
    return trade ? tradeBox(n) : ordinaryBox(n);
}

QString sibling(const QString &boxName, Part part)
{
    return boxName + QLatin1String(suffix(part));
}

QString boxOf(const QString &siblingName, Part part)
{
    const QLatin1String s(suffix(part));
    return siblingName.endsWith(s) ? siblingName.chopped(s.size()) : QString();
}

bool isOrdinaryBox(const QString &name)
{
    if (!name.startsWith(OrdinaryPrefix) || name.size() == OrdinaryPrefix.size())
        return false;
    for (qsizetype i = OrdinaryPrefix.size(); i < name.size(); ++i) {
        if (!name.at(i).isDigit())
            return false;
    }
    return true;
}

bool isTradeBox(const QString &boxName)
{
    return boxName.startsWith(TradePrefix) && boxName.endsWith(TradeBoxSuffix);
}

} // namespace RowNames
