#include "prefs/window/Preferences.h"

#include <QAction>
#include <QPalette>
#include <QTabWidget>
#include <QWidget>

#include "gamefiles/ParameterLookup.h"
#include "prefs/RegistryStore.h"
#include "prefs/window/TStateSaver.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsFile.h"
#include "textcodec/Cp1251.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

namespace {

const QString ProgramKey = QStringLiteral("SOFTWARE\\Tessaly_and_Quenby\\BRANVIK Configurator");
const QString WindowPrefix = QStringLiteral("Главное окно_");

// The radio items of the settings menu and the setting values they stand for.
struct MenuChoice
{
    const char *key;
    int value;
    const char *item;
};
const MenuChoice MenuChoices[] = {
    {settingkeys::Warning, 1, "N24"},   {settingkeys::Warning, 0, "N25"},
    {settingkeys::Warning, 2, "N26"},   {settingkeys::TableMode, 1, "N27"},
    {settingkeys::TableMode, 0, "N28"}, {settingkeys::Double, 1, "N30"},
    {settingkeys::Double, 0, "N31"},
};
// The checkable item of the inheritance switch (Вид menu).
const char InheritanceItem[] = "NInheritance";

} // namespace

Preferences::Preferences(WindowHost &host, SettingsFile &settings, const QString &registryFolder)
    : host_(host), settings_(settings)
{
    saver_ = new TStateSaver(host, registryFolder, host.window());
    saver_->setObjectName(QStringLiteral("StateSaver1"));
    saver_->setRegistryRoot(QStringLiteral("HKEY_LOCAL_MACHINE"));
    saver_->RegistryPath = ProgramKey;
    saver_->WriteTop = saver_->WriteLeft = saver_->WriteColor = true;
    host.addComponent(saver_);
}

QAction *Preferences::item(const char *name) const
{
    return host_.find<QAction>(QLatin1String(name));
}

void Preferences::N7Click()
{
    QWidget *window = host_.window();
    const std::optional<QColor> chosen =
        host_.dialogs().chooseColor(window, window->palette().color(QPalette::Window));
    if (!chosen)
        return;
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, QColor(chosen->rgb())); // solid
    window->setPalette(pal);
    // The outer tabs follow the window again even when the start gave them the saved colour of
    // their own: the colour saved at close is then the one chosen last.
    host_.pages()->setPalette(QPalette());
}

void Preferences::N14Click()
{
    if (!item("N14")->isChecked())
        return;
    host_.showMessage(MessageKind::Error,
                      QStringLiteral("Реестр очистится от записей программы при выходе из неё. "
                                     "Если вы передумали, выберите этот пункт меню еще раз."));
}

bool Preferences::writeSetting(const char *key, const QByteArray &value, QString *error)
{
    const bool written = settings_.write(key, value, error);
    showSettingsInMenus();
    return written;
}

void Preferences::showSettingsInMenus()
{
    for (const MenuChoice &choice : MenuChoices) {
        const SettingDeclaration *d = findSetting(choice.key);
        if (d && d->integer && settings_.stored().*d->integer == choice.value)
            item(choice.item)->setChecked(true);
    }
    if (QAction *inheritance = item(InheritanceItem))
        inheritance->setChecked(settings_.stored().inheritanceOn());
}

bool Preferences::changeSetting(const char *key, const QByteArray &value)
{
    QString error;
    if (writeSetting(key, value, &error))
        return true;
    host_.showMessage(MessageKind::Always, error);
    return false;
}

void Preferences::setMessageLevel(int level)
{
    changeSetting(settingkeys::Warning, QByteArray::number(level));
}

void Preferences::N24Click()
{
    setMessageLevel(1);
}

void Preferences::N25Click()
{
    setMessageLevel(0);
}

void Preferences::N26Click()
{
    setMessageLevel(2);
}

void Preferences::setDuplication(int on)
{
    changeSetting(settingkeys::Double, QByteArray::number(on));
}

void Preferences::N30Click()
{
    setDuplication(1);
}

void Preferences::N31Click()
{
    setDuplication(0);
}

void Preferences::N32Click()
{
    const QString chosen = host_.dialogs().chooseFolder(
        host_.window(), QStringLiteral("Пожалуйста, выберите папку для Дублирования"));
    if (chosen.isEmpty())
        return;
    QByteArray folder;
    if (!cp1251::fromUnicode(chosen, &folder)) {
        host_.showMessage(MessageKind::Always,
                          QStringLiteral("Имя папки содержит символы, которые нельзя сохранить в "
                                         "файле настроек: ") +
                              chosen);
        return;
    }
    folder += '/';
    // Announced and used only once it is saved: a folder the settings file does not hold would
    // be lost at the next start without a word.
    if (!changeSetting(settingkeys::DoublePath, folder))
        return;
    host_.showMessage(MessageKind::Information,
                      QStringLiteral("Папка для дублирования: ") + cp1251::toUnicode(folder));
}

void Preferences::InheritanceClick()
{
    const bool on = item(InheritanceItem)->isChecked();
    if (!changeSetting(settingkeys::Inheritance, on ? "1" : "0"))
        return;
    // The rows show at once what the game gives them under the new rule.
    host_.ReloadClick();
}

void Preferences::loadComponentState()
{
    QString error;
    if (!saver_->LoadComponentState(host_.window(), WindowPrefix, QString(), &error))
        host_.showMessage(MessageKind::Always, error);
}

void Preferences::loadOuterTabsState()
{
    saver_->LoadComponentState(host_.pages(), prefs::ComponentPrefix, QString());
}

void Preferences::saveComponentState()
{
    saver_->WriteTop = false;
    saver_->WriteLeft = false;
    QString error;
    if (!saver_->SaveComponentState(host_.pages(), prefs::ComponentPrefix, QString(), &error))
        host_.showMessage(MessageKind::Always, QStringLiteral("EXCEPT\n") + error);
}

void Preferences::deleteProgramKey()
{
    const QString path = saver_->RegistryPath;
    const qsizetype cut = path.lastIndexOf('\\');
    if (saver_->RegistryRoot().isEmpty() || cut <= 0)
        return;
    RegistryStore store(saver_->registryFolder(), saver_->RegistryRoot().toLatin1());
    store.read();
    if (!store.keyExists(cp1251::encode(path.left(cut))))
        return;
    store.deleteKey(cp1251::encode(path));
    QString error;
    if (!store.save(&error)) {
        host_.showMessage(MessageKind::Always, QStringLiteral("EXCEPT\n") + error);
        return;
    }
    host_.showMessage(MessageKind::Always, QStringLiteral("Ключи реестра удалены!"));
}

bool Preferences::saveControlPlaces(const QList<QWidget *> &controls, QString *error)
{
    bool *switches[] = {&saver_->WriteTop,     &saver_->WriteLeft,    &saver_->WriteWidth,
                        &saver_->WriteHeight,  &saver_->WriteCaption, &saver_->WriteText,
                        &saver_->WriteColor,   &saver_->WriteTag,     &saver_->WriteEnabled,
                        &saver_->WriteVisible, &saver_->WriteChecked};
    bool kept[std::size(switches)];
    for (size_t i = 0; i < std::size(switches); ++i) {
        kept[i] = *switches[i];
        *switches[i] = i < 2; // WriteTop, WriteLeft
    }
    bool saved = true;
    for (QWidget *control : controls)
        saved =
            saved && saver_->SaveComponentState(control, prefs::ComponentPrefix, QString(), error);
    for (size_t i = 0; i < std::size(switches); ++i)
        *switches[i] = kept[i];
    return saved;
}
