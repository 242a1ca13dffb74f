#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

#include "editor/window/ValueBox.h"

// The value box keeps its text until its editor exists, and behaves the same before and after.
TEST(ValueBox, TextAndChangesBeforeAndAfterTheEditorExists)
{
    QWidget page;
    auto *box = new ValueBox(&page);
    QSignalSpy changes(box, &ValueBox::textChanged);

    box->setText("0.85");
    box->setText("0.85");
    EXPECT_EQ(changes.count(), 1) << "setting the same text is no change";
    EXPECT_FALSE(box->hasEditor()) << "nothing is built for a box never shown";

    page.show();
    ASSERT_TRUE(box->hasEditor());
    EXPECT_EQ(box->editor()->toPlainText(), "0.85");
    EXPECT_EQ(changes.count(), 1) << "creating the editor is no change";

    box->setText("0.85");
    EXPECT_EQ(changes.count(), 1);
    box->editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(box->editor(), "9");
    EXPECT_EQ(box->text(), "0.859");
    EXPECT_EQ(changes.count(), 2);
    QSignalSpy applies(box, &ValueBox::applyRequested);
    QTest::keyClick(box->editor(), Qt::Key_Return);
    EXPECT_EQ(box->text(), "0.859") << "Enter asks to apply instead of breaking the line";
    EXPECT_EQ(applies.count(), 1);
}

TEST(ValueBox, EditorFillsTheBoxAndFollowsItsState)
{
    QWidget page;
    auto *box = new ValueBox(&page);
    box->setGeometry(8, 24, 100, 21);
    box->setEnabled(false);
    QSignalSpy clicks(box, &ValueBox::clicked);
    page.show();
    EXPECT_EQ(box->editor()->geometry(), QRect(0, 0, 100, 21));
    EXPECT_FALSE(box->editor()->isEnabled());
    box->resize(150, 21);
    EXPECT_EQ(box->editor()->width(), 150);

    box->setEnabled(true);
    QTest::mouseClick(box->editor()->viewport(), Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1) << "the right button selects the row before its menu opens";
    QTest::mouseClick(box->editor()->viewport(), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 2);
}

// A value wider than its box shows from its beginning and whole in the tool tip; after Enter or
// leaving the box it shows its beginning again, never only a later part of it.
TEST(ValueBox, AValueThatDoesNotFitShowsItsBeginningAndIsWholeInTheToolTip)
{
    QWidget page;
    auto *box = new ValueBox(&page);
    box->setGeometry(8, 8, 100, 21);
    const QString list = QStringLiteral("0.55, 0.55, 0.6, 0.65, 180");
    box->setText(list);
    page.show();
    QPlainTextEdit *editor = box->editor();
    QScrollBar *sideways = editor->horizontalScrollBar();
    EXPECT_EQ(editor->lineWrapMode(), QPlainTextEdit::NoWrap) << "one line, never wrapped";
    EXPECT_EQ(editor->blockCount(), 1);
    EXPECT_EQ(sideways->value(), 0);
    EXPECT_GT(sideways->maximum(), 0) << "the value is wider than the box";

    auto toolTip = [&] {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5),
                        editor->viewport()->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(editor->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(toolTip(), list);

    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "0");
    EXPECT_GT(sideways->value(), 0) << "the cursor is kept in view while typing";
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(sideways->value(), 0) << "after Enter the value shows from its beginning";
    QTest::keyClicks(editor, "1");
    EXPECT_EQ(box->text(), list + "01") << "the cursor stayed at the end";
    sideways->setValue(sideways->maximum());
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason); // the offscreen window has no focus
    QCoreApplication::sendEvent(editor, &leave);
    EXPECT_EQ(sideways->value(), 0) << "and after the box is left";

    box->setText("0.5");
    QCoreApplication::processEvents();
    EXPECT_TRUE(toolTip().isEmpty()) << "a value that fits has no tool tip";
}
