#include "editor/window/PictureViewer.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include "base/Plural.h"
#include "catalogue/CatalogueFormat.h"
#include "editor/window/TForm6.h"
#include "gamefiles/GamePath.h"
#include "profile/DiskPath.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

const QString KnownFormats = QStringLiteral(
    "Программа показывает картинки JPEG (.jpg, .jpeg), BMP (.bmp), ICO (.ico) и PNG (.png).");

// The image format that a file extension names; empty for none.
QByteArray formatOfExtension(const QString &suffix)
{
    const QString s = suffix.toLower();
    if (s == QLatin1String("jpg") || s == QLatin1String("jpeg"))
        return "jpeg";
    if (s == QLatin1String("bmp") || s == QLatin1String("ico") || s == QLatin1String("png"))
        return s.toLatin1();
    return QByteArray();
}

QString formatName(const QByteArray &format)
{
    return QString::fromLatin1(format).toUpper();
}

} // namespace

PictureViewer::PictureViewer(WindowHost &host, TForm6 &viewer) : host_(host), viewer_(viewer) {}

bool PictureViewer::loadPicture(const QString &diskPath, QImage *image, QString *error)
{
    const QFileInfo info(diskPath);
    if (!info.exists()) {
        *error = QStringLiteral("файла нет.");
        return false;
    }
    // A folder, a FIFO or a device: a FIFO would block the reader.
    if (!info.isFile()) {
        *error = QStringLiteral("это не файл.");
        return false;
    }
    if (!info.isReadable()) {
        *error = QStringLiteral("нет права читать этот файл.");
        return false;
    }
    const QString suffix = info.suffix();
    if (suffix.compare(QLatin1String("wmf"), Qt::CaseInsensitive) == 0 ||
        suffix.compare(QLatin1String("emf"), Qt::CaseInsensitive) == 0) {
        *error = QStringLiteral("это метафайл Windows (") + suffix.toUpper() +
                 QStringLiteral("), а метафайлы программа не показывает. Сохраните картинку в "
                                "формате JPEG, BMP или PNG.");
        return false;
    }
    const QByteArray format = formatOfExtension(suffix);
    if (format.isEmpty()) {
        *error = (suffix.isEmpty()
                      ? QStringLiteral("у файла нет расширения, по которому узнаётся формат. ")
                      : QStringLiteral("формат «.") + suffix + QStringLiteral("» неизвестен. ")) +
                 KnownFormats;
        return false;
    }

    // The extension decides the format, as it does for every picture of the catalogue.
    QImageReader reader(diskPath, format);
    reader.setAutoDetectImageFormat(false);
    // The reader refuses a picture larger than its memory limit; say so rather than call the
    // file damaged.
    const QSize size = reader.size();
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (size.isValid() && limit > 0 && qint64(size.width()) * size.height() * 4 > limit) {
        *error = QStringLiteral("картинка слишком велика (%1 × %2).")
                     .arg(size.width())
                     .arg(base::counted(size.height(), "точка", "точки", "точек"));
        return false;
    }
    if (reader.read(image))
        return true;
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        *error = QStringLiteral("файла нет.");
        break;
    case QImageReader::DeviceError:
        *error = QStringLiteral("файл не читается (") + reader.errorString() + QStringLiteral(").");
        break;
    case QImageReader::UnsupportedFormatError:
        *error = QStringLiteral("для формата ") + formatName(format) +
                 QStringLiteral(" не установлен модуль чтения картинок Qt.");
        break;
    default:
        *error = QStringLiteral("файл повреждён или это не картинка ") + formatName(format) +
                 QLatin1Char('.');
        break;
    }
    return false;
}

void PictureViewer::reportError(const QString &text)
{
    // The program's general error box: any failure of the command ends it with the error's
    // own description, whatever the message level.
    host_.showMessage(MessageKind::Always, text);
}

void PictureViewer::ButImgClick(QPushButton *button)
{
    // The name is read afresh: the page file may have been edited since the tabs were built.
    const QByteArray pageFile = dataslot::hint(button);
    const QByteArray section = dataslot::helpKeyword(button);
    const QByteArray name =
        ProfileFile(pageFile).readString(section, CatalogueFormat::ImageKey, QByteArray());
    const QByteArray folder =
        host_.programFolder() + CatalogueFormat::SettingFolder + QByteArrayLiteral("Images/");
    const QString subTab = cp1251::toUnicode(section);
    if (name.isEmpty()) {
        reportError(QStringLiteral("У вкладки «") + subTab + QStringLiteral("» в файле ") +
                    resolveDiskPath(pageFile) +
                    QStringLiteral(" больше нет картинки (ключ Image пуст или удалён)."));
        return;
    }
    // Catalogues are shared between users: a picture name may not lead out of the picture folder.
    if (!isInsideGamedata(folder, name)) {
        reportError(
            QStringLiteral("Картинка «") + cp1251::toUnicode(name) + QStringLiteral("» вкладки «") +
            subTab + QStringLiteral("» не показана: картинки берутся только из папки ") +
            cp1251::toUnicode(folder) + QStringLiteral(", а этот путь ведёт за её пределы."));
        return;
    }

    const QString path = resolveDiskPath(folder + name);
    QImage image;
    QString error;
    if (!loadPicture(path, &image, &error)) {
        reportError(QStringLiteral("Не удалось показать картинку ") + path + QStringLiteral(":\n") +
                    error);
        return;
    }

    const QScreen *screen = host_.window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    // A picture larger than the screen is scaled down, so the window and its OK button stay on
    // the screen; one that fits keeps its own size.
    const QSize fits = TForm6::largestPicture(room.size());
    if (screen && (image.width() > fits.width() || image.height() > fits.height()))
        image = image.scaled(fits, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    viewer_.setPicture(QPixmap::fromImage(image));
    if (screen)
        viewer_.move(room.center() - viewer_.rect().center());
    host_.dialogs().exec(&viewer_);
    // The picture stays loaded until the next one replaces it.
    viewer_.Image1->hide();
}
