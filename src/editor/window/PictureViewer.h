#pragma once

#include <QImage>
#include <QString>

class QPushButton;
class TForm6;
class WindowHost;

// What a sub-tab's picture button does: it reads the sub-tab's picture name afresh from its page
// file, loads the picture from Setting/Images/ (anew on every click, so a changed file shows its
// new content) and shows it in the picture viewer. A picture that cannot be shown is reported
// with the file and the reason instead.
class PictureViewer
{
public:
    PictureViewer(WindowHost &host, TForm6 &viewer);

    void ButImgClick(QPushButton *button);

    // Loads the picture at diskPath in the format its extension names: JPEG (.jpg, .jpeg),
    // BMP, ICO and PNG. Otherwise false, with the reason (without the file's name) in *error.
    static bool loadPicture(const QString &diskPath, QImage *image, QString *error);

private:
    // The general error box of the program: shown at every message level.
    void reportError(const QString &text);

    WindowHost &host_;
    TForm6 &viewer_;
};
