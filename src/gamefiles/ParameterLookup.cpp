#include "gamefiles/ParameterLookup.h"

#include "gamefiles/ValueDivision.h"
#include "textcodec/Cp1251.h"

namespace ParameterLookup {

QByteArray originText(const GameValues::Value &value)
{
    if (!value.inherited)
        return {};
    return cp1251::encode(QStringLiteral("унаследовано из [")) + value.originSection + "], " +
           value.originFile;
}

QString resolverProblemsText(const QStringList &problems)
{
    if (problems.isEmpty())
        return {};
    QString text = QStringLiteral("Не все включения (#include) и родители секций удалось "
                                  "прочитать; значения через них не наследуются:\n") +
                   problems.mid(0, ShownResolverProblems).join(QLatin1Char('\n'));
    const qsizetype rest = problems.size() - ShownResolverProblems;
    if (rest > 0)
        text += QStringLiteral("\nИ ещё таких ошибок: %1.").arg(rest);
    return text;
}

QByteArray gameFilePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    return gamedataFolder + relativeFile;
}

bool isPresent(const QByteArray &text, const QByteArray &marker)
{
    return text != marker;
}

RowValue rowValueFor(bool trade, bool hasFull, const QByteArray &asRead)
{
    RowValue row;
    const bool present = isPresent(asRead);
    row.present = present;
    if (trade) {
        row.checked = present;
        row.enabled = present;
        if (present)
            row.text = asRead;
        return row;
    }
    if (hasFull) {
        // The whole value; a missing one shows the marker itself.
        row.text = asRead;
        return row;
    }
    // A missing value gives an empty box and no comment part: the apply writes the box's
    // text followed by the comment part, and the marker must never end up in a game file.
    if (!present)
        return row;
    const ValueDivision parts = ValueDivision::divide(asRead);
    row.text = parts.valuePart;
    row.commentPart = parts.commentPart;
    return row;
}

RowValue rowValueFor(bool trade, bool hasFull, const GameValues::Value &value)
{
    const QByteArray asRead = value.value.value_or(QByteArray(AbsentMarker));
    if (trade || !value.inherited)
        return rowValueFor(trade, hasFull, value.inherited ? QByteArray(AbsentMarker) : asRead);
    RowValue row = rowValueFor(trade, hasFull, asRead);
    row.inherited = true;
    row.origin = originText(value);
    return row;
}

RowValue rowValueOf(GameValues &values, const QByteArray &relativeFile, const QByteArray &section,
                    const QByteArray &key, bool trade, bool hasFull)
{
    if (trade)
        return rowValueFor(true, false, values.ownValueOf(relativeFile, section, key));
    return rowValueFor(false, hasFull, values.valueOf(relativeFile, section, key));
}

} // namespace ParameterLookup
