// The start-up and close sequences of the main window, and the gamedata folder command.

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "app/TForm1.h"
#include "app/TForm5.h"
#include "catalogue/CatalogueMessages.h"
#include "catalogue/CatalogueReader.h"
#include "editor/RowEditor.h"
#include "editor/TabBuilder.h"
#include "prefs/Preferences.h"
#include "profile/DiskPath.h"
#include "settings/SettingsLocation.h"
#include "textcodec/Cp1251.h"
#include "tweaks/HistoryWindow.h"
#include "ui/Dialogs.h"

namespace {

const QColor Silver(0xC0, 0xC0, 0xC0);
const QString SettingsFileMissing = QStringLiteral("Ошибка! Не найден файл настроек.");

QByteArray example(const char *text)
{
    return cp1251::encode(QString::fromUtf8(text));
}

} // namespace

QByteArray TForm1::askGamedataFolder()
{
    const QString chosen =
        dialogs_->chooseFolder(this, QStringLiteral("Пожалуйста, выберите папку gamedata"));
    if (chosen.isEmpty())
        return {};
    QByteArray folder;
    if (!cp1251::fromUnicode(chosen, &folder)) {
        // The settings file holds Windows-1251 text: a name it cannot hold would be mangled.
        showMessage(MessageKind::Always,
                    QStringLiteral("Имя папки содержит символы, которые нельзя сохранить в "
                                   "файле настроек: ") +
                        chosen);
        return {};
    }
    return folder + '/';
}

void TForm1::N6Click()
{
    // The program closes after a new folder is chosen: edited rows are dealt with first.
    if (!confirmUnappliedRows())
        return;
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    // The folder of this run stays as it is: the new one is used from the next start.
    showMessage(MessageKind::Information,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(folder));
    QString error;
    if (!settings_.writeGamedataPath(folder, &error)) {
        // Telling the user to restart would be a lie: the folder was not saved.
        showMessage(MessageKind::Error,
                    SettingsFileMissing + (error.isEmpty() ? QString() : "\n" + error));
        return;
    }
    showMessage(MessageKind::Error,
                QStringLiteral("Чтобы изменения вступили в силу нужно перезапустить программу! "
                               "Я закрываюсь."));
    closeAfterConfirmation();
}

// --- the parts of the start-up sequence, in their order

void TForm1::showLoadingWindow()
{
    rowCounter_ = 0;
    Form5->show();
    Form5->repaintNow();
}

// The settings file and the catalogue are used beside the program when it may write there, else
// from the user's configuration folder (copied there at the first such start).
void TForm1::locateSettingsFolder()
{
    const SettingsLocation where =
        locateSettings(programFolderPath_, userFolder_, settingFolderWritable_);
    if (!where.problem.isEmpty())
        showMessage(MessageKind::Error,
                    QStringLiteral("Папка программы недоступна для записи, а папку настроек не "
                                   "удалось скопировать в ") +
                        userFolder_ + ":\n" + where.problem);
    programFolder_ = cp1251::encode(where.folder);
    settingsFolder_ = where.folder + "Setting/";
    history_->open(settingsFolder_ + "History.log");
}

void TForm1::setEntryExamples()
{
    entryExamples_ = {example("ПРИМЕР: config\\creatures\\actor.ltx"), example("ПРИМЕР: actor"),
                      example("ПРИМЕР: camera_height_factor"), example("ПРИМЕР: Высота камеры"),
                      example("ПРИМЕР: Высота камеры (рост персонажа). 0.95 - это нормальный "
                              "рост глаза-в-глаза. В оригинале и В патче 1.0001 = 0.85")};
}

// The gamedata folder from the settings file, or asked for at the first start. False when the
// program must end (the user cancelled, or the settings file cannot be written).
bool TForm1::settleGamedataFolder()
{
    const QByteArray stored = settings_.gamedataPath();
    if (stored == settingkeys::AbsentGamedataPath)
        return firstStart();
    gamedataFolder_ = stored;
    if (!QFileInfo(resolveDiskPath(gamedataFolder_)).isDir())
        offerAnotherGamedataFolder();
    // Cancelled: the rows show no values, and the window says why.
    gamedataMissing_ = !QFileInfo(resolveDiskPath(gamedataFolder_)).isDir();
    return true;
}

// A gamedata folder that has gone (renamed, an unplugged disk) would give empty rows and failed
// writes: say so and let the user choose the folder, as at the first start. Cancelling keeps
// the stored folder.
void TForm1::offerAnotherGamedataFolder()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Папка gamedata не найдена: ") + cp1251::toUnicode(gamedataFolder_) +
                    QStringLiteral("\nУкажите папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    QString error;
    if (!settings_.writeGamedataPath(folder, &error)) {
        showMessage(MessageKind::Always, SettingsFileMissing + "\n" + error);
        return;
    }
    gamedataFolder_ = folder;
    showMessage(MessageKind::Always,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder_));
}

bool TForm1::firstStart()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Для начала вы должны указать папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return false;
    gamedataFolder_ = folder;
    showMessage(MessageKind::Always,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder_));
    QString error;
    if (!settings_.writeFirstStart(gamedataFolder_, &error)) {
        showMessage(MessageKind::Error, SettingsFileMissing + "\n" + error);
        return false;
    }
    return true;
}

void TForm1::readProgramSettings()
{
    settings_.read();
    if (!settings_.run().versionMatches())
        showMessage(MessageKind::Always,
                    QStringLiteral("ВНИМАНИЕ! Возможно у вас не совместимая версия файла "
                                   "настроек."));
    prefs_->showSettingsInMenus();
}

void TForm1::applyWindowSize()
{
    // Read afresh: the size in the file, not the one read with the settings.
    const QSize stored = settings_.windowSize();
    // The file holds the whole window's size; Qt sizes the client area.
    const QSize frame = frameGeometry().size() - size();
    resize(qMax(stored.width() - frame.width(), 1), qMax(stored.height() - frame.height(), 1));
}

void TForm1::enableEditing(bool catalogueComplete)
{
    TMP->setPlainText(QStringLiteral("Выберите параметр!"));
    PageControl1->setEnabled(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Silver);
    Panel1->setPalette(pal);
    // After a catalogue that stopped the building, or without the gamedata folder, the window
    // shows what was built; it does not claim to be ready.
    if (gamedataMissing_)
        Panel1->setText(missingFolderText());
    else
        Panel1->setText(catalogueComplete
                            ? QStringLiteral("Можете редактировать файлы!")
                            : QStringLiteral("Каталог параметров загружен не полностью: проверьте "
                                             "файлы папки Setting."));
}

QString TForm1::missingFolderText() const
{
    return QStringLiteral("Папка gamedata не найдена: ") + cp1251::toUnicode(gamedataFolder_) +
           QStringLiteral(" Значения не загружены. Укажите папку: Файл - Указать папку gamedata.");
}

bool TForm1::confirmUnappliedRows()
{
    const int pending = rows_->pendingCount();
    if (pending == 0)
        return true;
    // A question, not a notice: asked at every message level.
    const int answer = dialogs_->ask(
        this,
        QStringLiteral("Изменённых, но не применённых параметров: %1.\nПрименить их?").arg(pending),
        {QStringLiteral("Применить все"), QStringLiteral("Не применять"),
         QStringLiteral("Отмена")});
    if (answer == 1)
        return true;
    if (answer != 0)
        return false;
    const int left = rows_->applyAll();
    if (left > 0) {
        showMessage(
            MessageKind::Always,
            QStringLiteral("Не удалось применить параметров: %1. Программа не закрыта.").arg(left));
        return false;
    }
    return true;
}

void TForm1::closeLoadingWindow()
{
    delete Form5;
}

void TForm1::FormShow()
{
    showLoadingWindow();
    setEntryExamples();
    // Every message up to the reading of the settings is shown: until then the level is 1.
    locateSettingsFolder();
    settings_.open(programFolder_ + "Setting/Setting.ini");
    if (!settleGamedataFolder()) {
        exitCode_ = 1;
        close();
        return;
    }
    readProgramSettings();
    showMessage(MessageKind::Information,
                QStringLiteral("Редактируемая папка: ") + cp1251::toUnicode(gamedataFolder_) +
                    QStringLiteral(" Сейчас будут загружены настройки. Это займет некоторое "
                                   "время. Пожалуйста, дождитесь окончания загрузки."));
    applyWindowSize();
    prefs_->loadOuterTabsState(); // before the rows: they take its colour as they are created
    QString error;
    const bool built = buildAllTabs(&error);
    if (!built)
        showMessage(MessageKind::Error, CatalogueMessages::WalkFailed + "\n" + error);
    enableEditing(built);
    if (gamedataMissing_)
        showMessage(MessageKind::Error, missingFolderText());
    else if (built)
        showMessage(MessageKind::Information,
                    QStringLiteral("Данные загружены. Можете начинать редактирование."));
    loadComponentState();
    closeLoadingWindow();
    ready_ = true;
}

void TForm1::FormClose()
{
    if (Form5)
        delete Form5;
    if (N14->isChecked()) {
        clearRegistryKey();
        return;
    }
    if (settings_.isOpen()) {
        QString error;
        // Only worth saying once the program ran; a failed start has said it already.
        if (!settings_.writeWindowSize(frameGeometry().size(), &error) && ready_)
            showMessage(MessageKind::Error,
                        QStringLiteral("Не удалось сохранить размер окна.\n") + error);
    }
    settings_.close();
    saveComponentState();
}

// --- call points that later subsystems fill

bool TForm1::buildAllTabs(QString *error)
{
    TabBuilder builder(*this, *rows_, [this](int rows) {
        rowCounter_ = rows;
        if (Form5)
            Form5->setCount(rows);
    });
    const CatalogueResult result = CatalogueReader(programFolder_).walk(builder);
    builder.finish();
    rowCounter_ = builder.rowCount();
    catalogue_->attachDragHandlers();
    if (result.status == CatalogueResult::Failed) {
        *error = result.reason;
        return false;
    }
    return true;
}

void TForm1::loadComponentState()
{
    prefs_->loadComponentState();
    catalogue_->fitSubTabsToRows();
}

void TForm1::saveComponentState()
{
    // A start that ended early restored nothing: saving would replace the saved state with the
    // design one.
    if (ready_)
        prefs_->saveComponentState();
}

void TForm1::clearRegistryKey()
{
    prefs_->deleteProgramKey();
}
