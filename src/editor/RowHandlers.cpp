// The handlers of the editor rows: selecting a row, editing its value and applying it.
// They are methods of the main window; each finds the row's sibling controls by name.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/TForm1.h"
#include "editor/DataSlots.h"
#include "editor/ValueBox.h"
#include "gamefiles/ParameterWriter.h"
#include "textcodec/Cp1251.h"

namespace {

const QString WriteFailed = QStringLiteral("Except");

template <class T> T *sibling(const TForm1 &form, const QString &name)
{
    return qobject_cast<T *>(form.findComponent(name));
}

QString commentText(const TForm1 &form, const QString &commentName)
{
    if (commentName.isEmpty())
        return {};
    const QLabel *comment = sibling<QLabel>(form, commentName);
    return comment ? comment->text() : QString();
}

} // namespace

void TForm1::selectRow(ValueBox *box, const QString &applyName, const QString &labelName,
                       const QString &commentName)
{
    const QObject *apply = findComponent(applyName);
    const QObject *label = findComponent(labelName);
    dataslot::setTag(N9, dataslot::tag(box));
    dataslot::setHint(N9, box->objectName().toLatin1());
    dataslot::setHint(N11, applyName.toLatin1());
    dataslot::setHint(N13, labelName.toLatin1());
    dataslot::setTag(N11, dataslot::tag(apply));
    dataslot::setTag(N13, dataslot::tag(label));
    Help->setPlainText(cp1251::toUnicode(dataslot::hint(box)));
    TMP->setPlainText(box->text() + commentText(*this, commentName));
    Panel1->setText(QStringLiteral("Файл: ") + cp1251::toUnicode(dataslot::helpKeyword(box)) +
                    QStringLiteral(" Секция: ") + cp1251::toUnicode(dataslot::hint(apply)) +
                    QStringLiteral(" Параметр: ") +
                    cp1251::toUnicode(dataslot::helpKeyword(apply)));
}

void TForm1::MemoClick(ValueBox *box)
{
    const QString b = box->objectName();
    selectRow(box, b + "_", b + "_V", b + "_Comment");
}

void TForm1::SpinClick(ValueBox *box)
{
    const QString b = box->objectName();
    selectRow(box, b + "_B", b + "_TR", QString());
}

QString TForm1::pendingTextOf(ValueBox *box, const QString &commentName) const
{
    return box->text() + commentText(*this, commentName);
}

void TForm1::MemoChange(ValueBox *box)
{
    const QString b = box->objectName();
    if (auto *apply = sibling<QPushButton>(*this, b + "_"))
        apply->setEnabled(true);
    TMP->setPlainText(pendingTextOf(box, b + "_Comment"));
}

void TForm1::SpinChange(ValueBox *box)
{
    if (auto *apply = sibling<QPushButton>(*this, box->objectName() + "_B"))
        apply->setEnabled(true);
    TMP->setPlainText(box->text());
}

void TForm1::CheckClick(QCheckBox *check)
{
    const QString boxName = check->objectName().chopped(3);
    if (auto *box = sibling<ValueBox>(*this, boxName))
        box->setEnabled(check->isChecked());
    if (auto *apply = sibling<QPushButton>(*this, boxName + "_B"))
        apply->setEnabled(true);
}

void TForm1::N19Click()
{
    // The check mark itself is the switch; only the apply handlers read it.
}

void TForm1::replaceCommas(ValueBox *box)
{
    if (!N19->isChecked())
        return;
    QString text = box->text();
    text.replace(',', '.');
    box->setText(text); // raises the change handler only when a comma was replaced
}

bool TForm1::valueTextFor(const QString &pending, QByteArray *valueText)
{
    QByteArray bytes;
    if (!cp1251::fromUnicode(pending, &bytes)) {
        showMessage(MessageKind::Error,
                    QStringLiteral("Значение не записано: в нём есть символы, которых нет в "
                                   "кодировке файлов игры (Windows-1251)."));
        return false;
    }
    if (bytes.contains('\n') || bytes.contains('\r')) {
        // A line break would split the key's line in the game file.
        showMessage(MessageKind::Error,
                    QStringLiteral("Значение не записано: оно должно быть одной строкой, "
                                   "без переводов строки."));
        return false;
    }
    *valueText = ' ' + bytes;
    return true;
}

ParameterWriter TForm1::writer() const
{
    return ParameterWriter(
        WriteTarget{gamedataFolder, settings.duplicationOn(), settings.duplicationFolder});
}

void TForm1::ButClick(QPushButton *apply)
{
    auto *box = sibling<ValueBox>(*this, apply->objectName().chopped(1));
    if (box) {
        replaceCommas(box);
        // The row writes its own text, whichever row was clicked last.
        const QString pending = pendingTextOf(box, box->objectName() + "_Comment");
        TMP->setPlainText(pending);
        QByteArray valueText;
        if (valueTextFor(pending, &valueText) &&
            !writer().writeParameter(dataslot::helpKeyword(box), dataslot::hint(apply),
                                     dataslot::helpKeyword(apply), valueText))
            showMessage(MessageKind::Error, WriteFailed);
    }
    apply->setEnabled(false);
}

void TForm1::ButTradeClick(QPushButton *apply)
{
    auto *box = sibling<ValueBox>(*this, apply->objectName().chopped(2));
    if (box) {
        replaceCommas(box);
        const QString pending = pendingTextOf(box, QString());
        TMP->setPlainText(pending);
        const auto *check = sibling<QCheckBox>(*this, box->objectName() + "_TR");
        const bool present = check && check->isChecked();
        QByteArray valueText;
        // A key being deleted needs no text that can be written.
        if ((!present || valueTextFor(pending, &valueText)) &&
            !writer().writeTrade(dataslot::helpKeyword(box), dataslot::hint(apply),
                                 dataslot::helpKeyword(apply), present, valueText))
            showMessage(MessageKind::Error, WriteFailed);
    }
    apply->setEnabled(false);
}

// Picture viewer and table view come with their windows.
void TForm1::ButImgClick(QPushButton *) {}

void TForm1::ButTablClick(QPushButton *) {}
