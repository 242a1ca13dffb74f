// The start-up and close sequences of the main window, and the gamedata folder command.

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "app/Dialogs.h"
#include "app/TForm1.h"
#include "app/TForm5.h"
#include "catalogue/CatalogueReader.h"
#include "editor/TabBuilder.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

const QColor Silver(0xC0, 0xC0, 0xC0);

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
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    gamedataFolder = folder;
    showMessage(MessageKind::Information,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder));
    QString error;
    if (!settingsFile ||
        !settingsFile->writeString(settingkeys::sectionSetting(), settingkeys::GamedataPath,
                                   gamedataFolder, &error)) {
        // Telling the user to restart would be a lie: the folder was not saved.
        showMessage(MessageKind::Error, QStringLiteral("Ошибка! Не найден файл настроек.") +
                                            (error.isEmpty() ? QString() : "\n" + error));
        return;
    }
    showMessage(MessageKind::Error,
                QStringLiteral("Чтобы изменения вступили в силу нужно перезапустить программу! "
                               "Я закрываюсь."));
    close();
}

bool TForm1::firstStart()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Для начала вы должны указать папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return false;
    gamedataFolder = folder;
    showMessage(MessageKind::Always,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder));
    if (!settingsFile->writeString(settingkeys::sectionSetting(), settingkeys::GamedataPath,
                                   gamedataFolder) ||
        !writeDefaultSettings(*settingsFile)) {
        showMessage(MessageKind::Error, QStringLiteral("Ошибка! Не найден файл настроек."));
        return false;
    }
    return true;
}

void TForm1::applySettingsToMenus()
{
    switch (settings.messageLevel) {
    case 1:
        N24->setChecked(true);
        break;
    case 0:
        N25->setChecked(true);
        break;
    case 2:
        N26->setChecked(true);
        break;
    default:
        break;
    }
    switch (settings.tableMode) {
    case 0:
        N28->setChecked(true);
        break;
    case 1:
        N27->setChecked(true);
        break;
    default:
        break;
    }
    switch (settings.duplication) {
    case 1:
        N30->setChecked(true);
        break;
    case 0:
        N31->setChecked(true);
        break;
    default:
        break;
    }
}

void TForm1::applyWindowSize()
{
    const QByteArray setting = settingkeys::sectionSetting();
    const int height = settingsFile->readInteger(setting, settingkeys::FormHeight, 600);
    const int width = settingsFile->readInteger(setting, settingkeys::FormWidth, 800);
    // The file holds the whole window's size; Qt sizes the client area.
    const QSize frame = frameGeometry().size() - size();
    resize(qMax(width - frame.width(), 1), qMax(height - frame.height(), 1));
}

void TForm1::FormShow()
{
    // 1
    rowCounter = 0;
    Form5->show();
    Form5->repaintNow();
    // 2
    entryExamples = {example("ПРИМЕР: config\\creatures\\actor.ltx"), example("ПРИМЕР: actor"),
                     example("ПРИМЕР: camera_height_factor"), example("ПРИМЕР: Высота камеры"),
                     example("ПРИМЕР: Высота камеры (рост персонажа). 0.95 - это нормальный рост "
                             "глаза-в-глаза. В оригинале и В патче 1.0001 = 0.85")};
    // 3
    messageLevel = 1;
    // 4
    settingsFile = std::make_unique<ProfileFile>(programFolder + "Setting/Setting.ini");
    // 5
    const QByteArray stored = settingsFile->readString(
        settingkeys::sectionSetting(), settingkeys::GamedataPath, settingkeys::AbsentGamedataPath);
    if (stored != settingkeys::AbsentGamedataPath) {
        gamedataFolder = stored;
    } else if (!firstStart()) {
        close();
        return;
    }
    settings = readSettings(*settingsFile);
    if (!settings.versionMatches())
        showMessage(MessageKind::Always,
                    QStringLiteral("ВНИМАНИЕ! Возможно у вас не совместимая версия файла "
                                   "настроек."));
    messageLevel = settings.messageLevel;
    applySettingsToMenus();
    // 6
    showMessage(MessageKind::Information,
                QStringLiteral("Редактируемая папка: ") + cp1251::toUnicode(gamedataFolder) +
                    QStringLiteral(" Сейчас будут загружены настройки. Это займет некоторое "
                                   "время. Пожалуйста, дождитесь окончания загрузки."));
    // 7
    catalogueIndex = std::make_unique<ProfileFile>(programFolder + "Setting/Pages.ini");
    // 8, 9
    applyWindowSize();
    QString error;
    if (!buildAllTabs(&error))
        showMessage(MessageKind::Error, QStringLiteral("Ошибка в файле настроек Pages.ini! (2)"));
    // 10
    TMP->setPlainText(QStringLiteral("Выберите параметр!"));
    PageControl1->setEnabled(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Silver);
    Panel1->setPalette(pal);
    Panel1->setText(QStringLiteral("Можете редактировать файлы!"));
    showMessage(MessageKind::Information,
                QStringLiteral("Данные загружены. Можете начинать редактирование."));
    // 11
    loadComponentState();
    // 12
    delete Form5;
    ready_ = true;
}

void TForm1::FormClose()
{
    if (Form5)
        delete Form5;
    if (N14->isChecked()) {
        switch (clearRegistryKey()) {
        case RegistryClear::Deleted:
            showMessage(MessageKind::Always, QStringLiteral("Ключи реестра удалены!"));
            break;
        case RegistryClear::Failed:
            showMessage(MessageKind::Always, QStringLiteral("EXCEPT"));
            break;
        case RegistryClear::NotFound:
            break;
        }
        return;
    }
    if (settingsFile) {
        const QSize whole = frameGeometry().size();
        QString error;
        const QByteArray setting = settingkeys::sectionSetting();
        if (!settingsFile->writeInteger(setting, settingkeys::FormHeight, whole.height(), &error) ||
            !settingsFile->writeInteger(setting, settingkeys::FormWidth, whole.width(), &error)) {
            // Only worth saying once the program ran; a failed start has said it already.
            if (ready_)
                showMessage(MessageKind::Error,
                            QStringLiteral("Не удалось сохранить размер окна.\n") + error);
        }
    }
    catalogueIndex.reset();
    settingsFile.reset();
    saveComponentState();
}

// --- call points that later subsystems fill

bool TForm1::buildAllTabs(QString *error)
{
    TabBuilder builder(*this);
    const CatalogueResult result = CatalogueReader(programFolder).walk(builder);
    if (result.status == CatalogueResult::Failed) {
        *error = result.reason;
        return false;
    }
    return true;
}

void TForm1::loadComponentState() {}

void TForm1::saveComponentState() {}

TForm1::RegistryClear TForm1::clearRegistryKey()
{
    return RegistryClear::NotFound;
}
