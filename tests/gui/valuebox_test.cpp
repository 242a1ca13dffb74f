#include <QMenu>
#include <QSignalSpy>
#include <QTest>
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
