#include "editor/window/RowEditor.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "catalogue/Rows.h"
#include "editor/window/ValueBox.h"
#include "gamefiles/ParameterWriter.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/RowNames.h"
#include "ui/window/WindowHost.h"

using RowNames::Part;

namespace {

const QString WriteFailed = QStringLiteral("Except");

} // namespace

RowEditor::RowEditor(WindowHost &host) : host_(host) {}

void RowEditor::showPendingText(QPlainTextEdit *line, const QString &text)
{
    // The line is one row high: of a long text it shows the beginning, so typing in a long
    // value does not lay the whole value out a second time at every keystroke.
    constexpr qsizetype Shown = 4096;
    line->setPlainText(text.size() > Shown ? text.left(Shown) + QChar(0x2026) : text);
}

void RowEditor::showPending(const QString &text)
{
    showPendingText(host_.pendingText(), text);
}

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
    showRowDetails(host_, box);
    showPending(pendingTextOf(box, commentName));
}

void RowEditor::showRowDetails(WindowHost &host, ValueBox *box)
{
    const int index = host.rowNamed(box->objectName());
    if (index < 0)
        return;
    const CatalogueEntry &entry = host.rows()[index].entry;
    const QString origin = box->inheritedFrom();
    host.helpText()->setPlainText(cp1251::toUnicode(entry.help) +
                                  (origin.isEmpty() ? QString() : QLatin1Char('\n') + origin));
    host.statusLine()->setText(
        QStringLiteral("Файл: ") + cp1251::toUnicode(entry.file) + QStringLiteral(" Секция: ") +
        cp1251::toUnicode(entry.applySection) + QStringLiteral(" Параметр: ") +
        cp1251::toUnicode(entry.applyParam) +
        (origin.isEmpty() ? QString() : QStringLiteral(" (") + origin + QLatin1Char(')')));
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

void RowEditor::typed(ValueBox *box)
{
    // The row shows what was typed; find looks for it there.
    const int index = host_.rowNamed(box->objectName());
    if (index >= 0)
        host_.rows().setTyped(index, cp1251::encode(box->text()));
}

void RowEditor::MemoChange(ValueBox *box)
{
    const QString b = box->objectName();
    box->setInherited(QString()); // typed: the row's own value from now on
    typed(box);
    markPending(host_.find<QPushButton>(RowNames::sibling(b, Part::Apply)));
    showPending(pendingTextOf(box, RowNames::sibling(b, Part::Comment)));
}

void RowEditor::SpinChange(ValueBox *box)
{
    typed(box);
    markPending(host_.find<QPushButton>(RowNames::sibling(box->objectName(), Part::TradeApply)));
    showPending(box->text());
}

void RowEditor::CheckClick(QCheckBox *check)
{
    const QString boxName = RowNames::boxOf(check->objectName(), Part::TradeCheck);
    if (auto *box = host_.find<ValueBox>(boxName))
        box->setEnabled(check->isChecked());
    if (const int index = host_.rowNamed(boxName); index >= 0) {
        ParameterLookup::RowValue &value = host_.rows()[index].value;
        value.checked = check->isChecked();
        value.enabled = check->isChecked();
    }
    markPending(host_.find<QPushButton>(RowNames::sibling(boxName, Part::TradeApply)));
}

void RowEditor::markPending(QPushButton *apply)
{
    if (!apply)
        return;
    // A row applied and edited again is still one row: the list holds each button once.
    if (!apply->isEnabled() && !pending_.contains(apply))
        pending_.append(apply);
    apply->setEnabled(true);
}

int RowEditor::pendingCount()
{
    pending_.removeIf(
        [](const QPointer<QPushButton> &apply) { return apply.isNull() || !apply->isEnabled(); });
    return static_cast<int>(pending_.size());
}

int RowEditor::applyAll()
{
    const QList<QPointer<QPushButton>> rows = pending_;
    for (const QPointer<QPushButton> &apply : rows) {
        if (apply.isNull() || !apply->isEnabled())
            continue;
        if (RowNames::boxOf(apply->objectName(), Part::TradeApply).isEmpty())
            ButClick(apply);
        else
            ButTradeClick(apply);
    }
    return pendingCount();
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
    // Only a decimal comma: one between two digits. Commas that separate values ("1.5, 1.3")
    // stay.
    static const QRegularExpression decimalComma(QStringLiteral("(?<=\\d),(?=\\d)"));
    QString text = box->text();
    text.replace(decimalComma, QStringLiteral("."));
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
    // Line breaks are refused by the write itself, before anything is touched.
    *valueText = ' ' + bytes;
    return true;
}

void RowEditor::reportFailure(const QString &error)
{
    host_.showMessage(MessageKind::Error,
                      error.isEmpty() ? WriteFailed : WriteFailed + QLatin1Char('\n') + error);
}

void RowEditor::ButClick(QPushButton *apply)
{
    auto *box = host_.find<ValueBox>(RowNames::boxOf(apply->objectName(), Part::Apply));
    if (!box)
        return;
    replaceCommas(box);
    // The row writes its own text, whichever row was clicked last.
    const QString pending = pendingTextOf(box, RowNames::sibling(box->objectName(), Part::Comment));
    showPending(pending);
    QByteArray valueText;
    if (!valueTextFor(pending, &valueText))
        return; // refused: the row stays pending
    const int index = host_.rowNamed(box->objectName());
    if (!rowIsComplete(index))
        return;
    // Where it goes is the row's: file, section and key as its entry names them. The history
    // names the write by the row's caption.
    const CatalogueEntry entry = host_.rows()[index].entry;
    const auto *caption = host_.find<QLabel>(RowNames::sibling(box->objectName(), Part::Caption));
    const HistoryStamp stamp{HistoryOrigin::Row, 0, caption ? caption->text().toUtf8() : ""};
    QString error;
    const WriteResult result = host_.session().applyValue(
        entry.file, entry.applySection, entry.applyParam, valueText, stamp, &error);
    finishApply(apply, box, true, result, error);
}

bool RowEditor::rowIsComplete(int index)
{
    if (index < 0)
        return false;
    const CatalogueEntry &entry = host_.rows()[index].entry;
    if (entry.writable())
        return true;
    // Its file, section or key would be the catalogue's stand-in "123456": nothing to write to.
    host_.showMessage(MessageKind::Error,
                      QStringLiteral("Значение не записано: в каталоге у параметра нет ключей ") +
                          cp1251::toUnicode(entry.missingKeys.join(", ")) + QLatin1Char('.'));
    return false;
}

void RowEditor::finishApply(QPushButton *apply, ValueBox *box, bool present,
                            const WriteResult &result, const QString &error)
{
    if (result.gameFileWritten()) {
        apply->setEnabled(false);
        box->setAbsent(!present);
        if (const int index = host_.rowNamed(box->objectName()); index >= 0) {
            ParameterLookup::RowValue &value = host_.rows()[index].value;
            value.present = present;
            value.inherited = false;
            value.origin.clear();
            if (RowNames::isTradeBox(box->objectName()))
                value.checked = value.enabled = present;
        }
        // The selected row's value is its own now: its help and status line say so.
        const auto *selection = host_.find<QAction>(QStringLiteral("N9"));
        if (selection && dataslot::hint(selection) == box->objectName().toLatin1())
            showRowDetails(host_, box);
    }
    // A failed or refused row stays pending, so it does not look applied; a row written to
    // its game file but not duplicated is applied, and the message says what is missing.
    if (!result)
        reportFailure(error);
    // The write stays done; an apply the history could not record is said at once, at every
    // level, since an undo from the history will not know it.
    if (!result.historyProblem.isEmpty())
        host_.showMessage(MessageKind::Always, result.historyProblem);
}

void RowEditor::ButTradeClick(QPushButton *apply)
{
    auto *box = host_.find<ValueBox>(RowNames::boxOf(apply->objectName(), Part::TradeApply));
    if (!box)
        return;
    replaceCommas(box);
    const QString pending = pendingTextOf(box, QString());
    showPending(pending);
    const auto *check =
        host_.find<QCheckBox>(RowNames::sibling(box->objectName(), Part::TradeCheck));
    const bool present = check && check->isChecked();
    QByteArray valueText;
    // A key being deleted needs no text that can be written.
    if (present && !valueTextFor(pending, &valueText))
        return;
    const int index = host_.rowNamed(box->objectName());
    if (!rowIsComplete(index))
        return;
    const CatalogueEntry entry = host_.rows()[index].entry;
    QString error;
    const WriteResult result = host_.session().applyTrade(
        entry.file, entry.applySection, entry.applyParam, present, valueText, &error);
    finishApply(apply, box, present, result, error);
}
