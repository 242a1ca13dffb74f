#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include "editor/window/TForm2.h"
#include "editor/window/TForm6.h"
#include "support/TestSystem.h"
#include "support/WindowFixture.h"
#include "ui/window/DataSlots.h"

namespace {

// One page with one sub-tab whose picture name each test sets; the message level shows almost
// nothing, so every message seen here is one shown at every level.
class Viewer : public ::testing::Test
{
protected:
    WindowFixture f;

    void SetUp() override
    {
        f.writeSettings("Warning=2\n");
        f.writeSetting("Pages.ini",
                       "[Global Pages]\nKol-vo=1\n1=Картинки\n1_file=Pics\n1_Enabled=true\n");
        setImage("start.bmp");
        QDir().mkpath(images());
    }

    QString images() const { return f.programFolder() + "/Setting/Images"; }

    // The sub-tab's picture name in its page file, changed after start-up as a user would.
    void setImage(const QString &value)
    {
        f.writeSetting("Pics.ini",
                       "[Pages]\nKol-vo=1\n1=Вкладка\n[Вкладка]\nKol-vo=0\nImage=" + value + "\n");
    }

    void savePicture(const QString &name, QSize size, QColor color = Qt::red)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        QDir().mkpath(QFileInfo(images() + "/" + name).absolutePath());
        ASSERT_TRUE(image.save(images() + "/" + name)) << name.toStdString();
    }

    QPushButton *pictureButton()
    {
        for (QPushButton *b : f.window->findChildren<QPushButton *>()) {
            if (b->text() == "Картинка")
                return b;
        }
        ADD_FAILURE() << "no picture button";
        return nullptr;
    }

    // Clicks the picture button; what the viewer showed while it was open.
    struct Shown
    {
        bool pictureVisible = false;
        QImage picture;
    };
    Shown click()
    {
        Shown shown;
        f.dialogs.whileOpen = [&shown](QDialog *d) {
            auto *viewer = qobject_cast<TForm6 *>(d);
            ASSERT_NE(viewer, nullptr);
            shown.pictureVisible = viewer->Image1->isVisibleTo(viewer);
            shown.picture = viewer->Image1->pixmap().toImage();
        };
        if (QPushButton *b = pictureButton())
            b->click();
        return shown;
    }
};

TEST(ViewerPlugins, ThePictureFormatsLoadAtRunTime)
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char *format : {"jpeg", "bmp", "ico", "png"})
        EXPECT_TRUE(formats.contains(format)) << format;
}

TEST_F(Viewer, WindowFitsThePictureWithTheButtonCentredBelowIt)
{
    struct Case
    {
        QString file, image; // saved as, named in the catalogue as
        QSize size;
        QSize window;
        QPoint picture, button;
    } cases[] = {
        {"a.bmp", "a.bmp", {300, 200}, {320, 255}, {10, 10}, {125, 230}},
        // 150.5 rounds to the even 150; 151.5 to 152.
        {"b.JPG", "b.JPG", {301, 200}, {321, 255}, {10, 10}, {125, 230}},
        {"c.jpeg", "c.jpeg", {303, 100}, {323, 155}, {10, 10}, {127, 130}},
        {"d.ico", "d.ico", {64, 64}, {90, 119}, {13, 10}, {10, 94}},
        // Narrower than the button: the window keeps room for the button.
        {"e.png", "e.png", {20, 30}, {90, 85}, {35, 10}, {10, 60}},
        // Catalogue spelling: "\" and another letter case.
        {"Sub/f.bmp", "sub\\F.BMP", {100, 40}, {120, 95}, {10, 10}, {25, 70}},
    };
    TForm1 &w = f.start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        savePicture(c.file, c.size);
        setImage(c.image);
        f.dialogs.shownDialogs.clear();
        const Shown shown = click();
        EXPECT_EQ(f.dialogs.shownDialogs, QStringList{"Form6"});
        EXPECT_TRUE(shown.pictureVisible);
        EXPECT_EQ(shown.picture.size(), c.size);
        EXPECT_EQ(w.Form6->size(), c.window);
        EXPECT_EQ(w.Form6->Image1->geometry(), QRect(c.picture, c.size));
        EXPECT_EQ(w.Form6->Button1->geometry(), QRect(c.button, QSize(70, 27)));
        EXPECT_FALSE(w.Form6->Image1->isVisibleTo(w.Form6)) << "hidden again once closed";
    }
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();
}

// A picture larger than the screen is scaled down, its proportions kept, so the window and its
// button stay on the screen; one that fits keeps its size (the test above).
TEST_F(Viewer, APictureLargerThanTheScreenIsScaledDownToFitIt)
{
    TForm1 &w = f.start();
    const QScreen *screen = w.screen();
    ASSERT_NE(screen, nullptr);
    const QSize room = screen->availableGeometry().size();
    const QSize fits = TForm6::largestPicture(room);
    const struct
    {
        const char *file;
        QSize size;
    } cases[] = {
        {"wide.png", {room.width() * 3, 100}},
        {"tall.bmp", {120, room.height() * 4}},
        {"both.jpg", {room.width() * 2, room.height() * 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        savePicture(c.file, c.size);
        setImage(c.file);
        const Shown shown = click();
        const QSize expected = c.size.scaled(fits, Qt::KeepAspectRatio);
        EXPECT_EQ(shown.picture.size(), expected);
        EXPECT_TRUE(shown.picture.width() == fits.width() ||
                    shown.picture.height() == fits.height())
            << "as large as fits";
        EXPECT_LE(w.Form6->width(), room.width());
        EXPECT_LE(w.Form6->height(), room.height());
    }
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();
}

TEST_F(Viewer, EveryClickLoadsThePictureAnew)
{
    f.start();
    savePicture("p.bmp", {300, 200}, Qt::red);
    setImage("p.bmp");
    EXPECT_EQ(click().picture.pixelColor(5, 5), QColor(Qt::red));
    savePicture("p.bmp", {100, 50}, Qt::blue);
    const Shown again = click();
    EXPECT_EQ(again.picture.size(), QSize(100, 50));
    EXPECT_EQ(again.picture.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(f.window->Form6->size(), QSize(120, 105));
    EXPECT_EQ(f.dialogs.shownDialogs.size(), 2);
}

TEST_F(Viewer, PictureThatCannotBeShownIsReportedAndTheViewerStaysClosed)
{
    f.dir.write("program/Setting/Images/notes.txt", "text");
    f.dir.write("program/Setting/Images/drawing.wmf", "\xD7\xCD\xC6\x9A");
    f.dir.write("program/Setting/Images/broken.jpg", "not a picture");
    f.dir.write("program/Setting/Images/noext", "BM");
    f.dir.write("program/Setting/secret.bmp", "BM");
    // A bitmap header that announces 16000 × 16000 points.
    QByteArray huge("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x80\x3e\0\0\x80\x3e\0\0\x01\0\x18\0",
                    30);
    f.dir.write("program/Setting/Images/huge.bmp", huge + QByteArray(64, '\0'));
    QDir().mkpath(images() + "/folder.bmp");
    const bool fifo = testsys::makeFifo(images() + "/pipe.jpg").isEmpty();
    struct Case
    {
        QString image;
        QStringList says; // parts of the one message
    } cases[] = {
        {"missing.jpg", {"Images/missing.jpg", "файла нет"}},
        {"notes.txt", {"Images/notes.txt", "«.txt» неизвестен"}},
        {"noext", {"Images/noext", "нет расширения"}},
        {"drawing.wmf", {"Images/drawing.wmf", "метафайл", "WMF"}},
        {"broken.jpg", {"Images/broken.jpg", "не картинка JPEG"}},
        {"huge.bmp", {"Images/huge.bmp", "слишком велика (16000 × 16000"}},
        {"folder.bmp", {"Images/folder.bmp", "не файл"}},
        {"pipe.jpg", {"Images/pipe.jpg", "не файл"}},
        // Out of the picture folder: refused before anything is read.
        {"..\\secret.bmp", {"..\\secret.bmp", "за её пределы"}},
        {"a/../../secret.bmp", {"a/../../secret.bmp", "за её пределы"}},
        {f.programFolder() + "/Setting/secret.bmp", {"secret.bmp", "за её пределы"}},
        // The key was emptied after start-up.
        {"", {"Вкладка", "Pics.ini", "Image"}},
    };
    f.start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.image.toStdString());
        if (c.image == "pipe.jpg" && !fifo)
            continue; // a system without FIFOs
        setImage(c.image);
        f.dialogs.messages.clear();
        click();
        EXPECT_TRUE(f.dialogs.shownDialogs.isEmpty());
        ASSERT_EQ(f.dialogs.messages.size(), 1);
        for (const QString &part : c.says)
            EXPECT_TRUE(f.dialogs.messages.first().contains(part))
                << f.dialogs.messages.first().toStdString();
    }
}

TEST(ViewerExample, ExampleCatalogueShowsItsPictures)
{
    WindowFixture f;
    const QString examples = BRANVIK_EXAMPLES;
    QDir().mkpath(f.programFolder() + "/Setting/Images");
    for (const QString &folder : {QString(), QStringLiteral("Images/")}) {
        for (const QString &name : QDir(examples + "/Setting/" + folder).entryList(QDir::Files))
            QFile::copy(examples + "/Setting/" + folder + name, f.settingPath(folder + name));
    }
    f.writeSetting("Setting.ini",
                   "[Setting]\nGamedata_Path=" + examples + "/gamedata/\nВерсия=0.6\nWarning=0\n");
    TForm1 &w = f.start();
    ASSERT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();
    f.showEverySubTab(); // a sub-tab gets its picture button when first shown
    int buttons = 0;
    for (QPushButton *b : w.findChildren<QPushButton *>()) {
        if (b->text() != "Картинка")
            continue;
        ++buttons;
        b->click();
        EXPECT_FALSE(w.Form6->Image1->pixmap().isNull());
    }
    EXPECT_GE(buttons, 2);
    EXPECT_EQ(f.dialogs.shownDialogs.size(), buttons);
    EXPECT_TRUE(f.dialogs.messages.isEmpty()) << f.dialogs.messages.join("|").toStdString();
}

TEST_F(Viewer, HelpWindowShowsReadOnlyHelp)
{
    TForm1 &w = f.start();
    EXPECT_FALSE(w.windowIcon().isNull());
    w.N8->trigger();
    EXPECT_EQ(f.dialogs.shownDialogs, QStringList{"Form2"});

    TForm2 &help = *w.Form2;
    EXPECT_EQ(help.size(), QSize(289, 453));
    EXPECT_EQ(help.Image1->pixmap().size(), QSize(64, 64));
    QPlainTextEdit *memo = help.Memo1;
    const QString text = memo->toPlainText();
    EXPECT_TRUE(text.startsWith("---") && text.contains("ПОМОЩЬ:") && text.contains("!!!") &&
                text.contains("Pages.ini"));
    EXPECT_TRUE(memo->isReadOnly());
    help.show();
    memo->setFocus();
    QTest::keyClicks(memo, "abc");
    QTest::keyClick(memo, Qt::Key_Delete);
    QTest::keyClick(memo, Qt::Key_Backspace);
    EXPECT_EQ(memo->toPlainText(), text);
    help.hide();
}

} // namespace
