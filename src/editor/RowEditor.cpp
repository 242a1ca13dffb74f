#include "editor/RowEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "editor/RowNames.h"
#include "editor/ValueBox.h"
#include "gamefiles/ParameterWriter.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/DataSlots.h"
#include "ui/WindowHost.h"

using RowNames::Part;

namespace {

const QString WriteFailed = QStringLiteral("Except");

} // namespace

RowEditor::RowEditor(WindowHost &host) : host_(host) {}

void RowEditor::selectRow(ValueBox *box, const QString &applyName, const QString &labelName,
                          const QString &commentName)
{
    const QObject *apply = host_.findComponent(applyName);
    const QObject *label = host_.findComponent(labelName);
    auto *properties = host_.find<QAction>(QStringLiteral("N9"));
    auto *add = host_.find<QAction>(QStringLiteral("N11"));
    auto *remove = host_.find<QAction>(QStringLiteral("N13"));
    dataslot::setTag(properties, dataslot::tag(box));
    dataslot::setHint(properties, box->objectName().toLatin1());
    dataslot::setHint(add, applyName.toLatin1());
    dataslot::setHint(remove, labelName.toLatin1());
    dataslot::setTag(add, dataslot::tag(apply));
    dataslot::setTag(remove, dataslot::tag(label));
    host_.helpText()->setPlainText(cp1251::toUnicode(dataslot::hint(box)));
    host_.pendingText()->setPlainText(pendingTextOf(box, commentName));
    host_.statusLine()->setText(
        QStringLiteral("Файл: ") + cp1251::toUnicode(dataslot::helpKeyword(box)) +
        QStringLiteral(" Секция: ") + cp1251::toUnicode(dataslot::hint(apply)) +
        QStringLiteral(" Параметр: ") + cp1251::toUnicode(dataslot::helpKeyword(apply)));
}

void RowEditor::MemoClick(ValueBox *box)
{
    const QString b = box->objectName();
    selectRow(box, RowNames::sibling(b, Part::Apply), RowNames::sibling(b, Part::Caption),
              RowNames::sibling(b, Part::Comment));
}

void RowEditor::SpinClick(ValueBox *box)
{
    const QString b = box->objectName();
    selectRow(box, RowNames::sibling(b, Part::TradeApply), RowNames::sibling(b, Part::TradeCheck),
              QString());
}

QString RowEditor::pendingTextOf(ValueBox *box, const QString &commentName) const
{
    const QLabel *comment = commentName.isEmpty() ? nullptr : host_.find<QLabel>(commentName);
    return box->text() + (comment ? comment->text() : QString());
}

void RowEditor::MemoChange(ValueBox *box)
{
    const QString b = box->objectName();
    if (auto *apply = host_.find<QPushButton>(RowNames::sibling(b, Part::Apply)))
        apply->setEnabled(true);
    host_.pendingText()->setPlainText(pendingTextOf(box, RowNames::sibling(b, Part::Comment)));
}

void RowEditor::SpinChange(ValueBox *box)
{
    if (auto *apply =
            host_.find<QPushButton>(RowNames::sibling(box->objectName(), Part::TradeApply)))
        apply->setEnabled(true);
    host_.pendingText()->setPlainText(box->text());
}

void RowEditor::CheckClick(QCheckBox *check)
{
    const QString boxName = RowNames::boxOf(check->objectName(), Part::TradeCheck);
    if (auto *box = host_.find<ValueBox>(boxName))
        box->setEnabled(check->isChecked());
    if (auto *apply = host_.find<QPushButton>(RowNames::sibling(boxName, Part::TradeApply)))
        apply->setEnabled(true);
}

void RowEditor::N19Click()
{
    // The check mark itself is the switch; only the apply handlers read it.
}

void RowEditor::replaceCommas(ValueBox *box)
{
    const auto *n19 = host_.find<QAction>(QStringLiteral("N19"));
    if (!n19 || !n19->isChecked())
        return;
    QString text = box->text();
    text.replace(',', '.');
    box->setText(text); // raises the change handler only when a comma was replaced
}

bool RowEditor::valueTextFor(const QString &pending, QByteArray *valueText)
{
    QByteArray bytes;
    if (!cp1251::fromUnicode(pending, &bytes)) {
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("Значение не записано: в нём есть символы, которых нет в "
                                         "кодировке файлов игры (Windows-1251)."));
        return false;
    }
    if (bytes.contains('\n') || bytes.contains('\r')) {
        // A line break would split the key's line in the game file.
        host_.showMessage(MessageKind::Error,
                          QStringLiteral("Значение не записано: оно должно быть одной строкой, "
                                         "без переводов строки."));
        return false;
    }
    *valueText = ' ' + bytes;
    return true;
}

ParameterWriter RowEditor::writer() const
{
    const ProgramSettings &s = host_.settings();
    return ParameterWriter(
        WriteTarget{host_.gamedataFolder(), s.duplicationOn(), s.duplicationFolder});
}

void RowEditor::ButClick(QPushButton *apply)
{
    auto *box = host_.find<ValueBox>(RowNames::boxOf(apply->objectName(), Part::Apply));
    if (box) {
        replaceCommas(box);
        // The row writes its own text, whichever row was clicked last.
        const QString pending =
            pendingTextOf(box, RowNames::sibling(box->objectName(), Part::Comment));
        host_.pendingText()->setPlainText(pending);
        QByteArray valueText;
        if (valueTextFor(pending, &valueText) &&
            !writer().writeParameter(dataslot::helpKeyword(box), dataslot::hint(apply),
                                     dataslot::helpKeyword(apply), valueText))
            host_.showMessage(MessageKind::Error, WriteFailed);
    }
    apply->setEnabled(false);
}

void RowEditor::ButTradeClick(QPushButton *apply)
{
    auto *box = host_.find<ValueBox>(RowNames::boxOf(apply->objectName(), Part::TradeApply));
    if (box) {
        replaceCommas(box);
        const QString pending = pendingTextOf(box, QString());
        host_.pendingText()->setPlainText(pending);
        const auto *check =
            host_.find<QCheckBox>(RowNames::sibling(box->objectName(), Part::TradeCheck));
        const bool present = check && check->isChecked();
        QByteArray valueText;
        // A key being deleted needs no text that can be written.
        if ((!present || valueTextFor(pending, &valueText)) &&
            !writer().writeTrade(dataslot::helpKeyword(box), dataslot::hint(apply),
                                 dataslot::helpKeyword(apply), present, valueText))
            host_.showMessage(MessageKind::Error, WriteFailed);
    }
    apply->setEnabled(false);
}
