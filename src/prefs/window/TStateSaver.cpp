#include "prefs/window/TStateSaver.h"

#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include "textcodec/Cp1251.h"
#include "ui/window/DataSlots.h"
#include "ui/window/WindowHost.h"

namespace {

struct Root
{
    const char *name;
    quint32 handle;
};

// In the order in which a name is looked for.
constexpr Root Roots[] = {
    {"HKEY_LOCAL_MACHINE", TStateSaver::HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", TStateSaver::HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", TStateSaver::HKEY_CLASSES_ROOT},
    {"HKEY_USERS", TStateSaver::HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", TStateSaver::HKEY_PERFORMANCE_DATA},
    {"HKEY_CURRENT_CONFIG", TStateSaver::HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", TStateSaver::HKEY_DYN_DATA},
};

// A window's controls number tens of thousands: these tests run for each, so they look at the
// widget flag and the window flag before any type. Menus and dialogs are windows, menu bars not.
QMenu *asMenu(QObject *component)
{
    return component->isWidgetType() && static_cast<QWidget *>(component)->isWindow()
               ? qobject_cast<QMenu *>(component)
               : nullptr;
}

// A control: a widget with a place on screen. Menu bars, menus and dialogs are not.
QWidget *asControl(QObject *component)
{
    if (!component->isWidgetType())
        return nullptr;
    auto *w = static_cast<QWidget *>(component);
    const bool other = w->isWindow() ? qobject_cast<QMenu *>(w) || qobject_cast<QDialog *>(w)
                                     : qobject_cast<QMenuBar *>(w) != nullptr;
    return other ? nullptr : w;
}

// Appends the Windows-1251 bytes of a name, folded to lower case.
void appendFolded(QByteArray &out, const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x80)
            out += static_cast<char>(cp1251::foldCase(static_cast<unsigned char>(c.unicode())));
        else
            out += cp1251::foldCase(cp1251::encode(QString(c)));
    }
}

// The property that holds a control's text, and the one that holds its caption; null when it
// has none.
const char *textProperty(const QWidget *w)
{
    for (const char *name : {"plainText", "text"})
        if (w->metaObject()->indexOfProperty(name) >= 0)
            return name;
    return nullptr;
}

const char *captionProperty(const QWidget *w)
{
    for (const char *name : {"text", "title"})
        if (w->metaObject()->indexOfProperty(name) >= 0)
            return name;
    return w->isWindow() ? "windowTitle" : nullptr;
}

// Enabled and Visible as the control's own switches, whatever its parent's state.
bool ownEnabled(const QWidget *w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

bool ownVisible(const QWidget *w)
{
    if (w->isWindow())
        return w->isVisible();
    return !(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

QPalette::ColorRole colourRole(const QWidget *w)
{
    const QPalette::ColorRole role = w->backgroundRole();
    return role == QPalette::NoRole ? QPalette::Window : role;
}

// Colours are kept as 0x00BBGGRR.
qint32 colourValue(const QColor &c)
{
    return c.red() | c.green() << 8 | c.blue() << 16;
}

// Sizes are the whole window's for a window, frame included.
void setOuterSize(QWidget *w, int width, int height)
{
    const QSize frame = w->isWindow() ? w->frameGeometry().size() - w->size() : QSize();
    w->resize(qMax(width - frame.width(), 0), qMax(height - frame.height(), 0));
}

} // namespace

struct TStateSaver::Walk
{
    Walk(bool saving, const QString &folder, const QByteArray &root)
        : saving(saving), hasRoot(!root.isEmpty()), store(folder, root)
    {
    }
    bool saving;
    bool hasRoot;
    RegistryStore store;
    RegistryStore::Key *key = nullptr;
    bool keyOpened = false;
    QByteArray keyPath;
    QByteArray suffix;
    QString error;

    // The key, opened at its first use; null when it cannot be opened.
    RegistryStore::Key *openKey()
    {
        if (!keyOpened) {
            keyOpened = true;
            if (hasRoot)
                key = store.openKey(keyPath, saving);
        }
        return key;
    }
    QByteArray name(const QByteArray &base, const char *part) const { return base + part + suffix; }

    // Whether the key holds any value of the component named base (folded). Every value name is
    // base + a part beginning with "." + suffix, so a component whose base is no value name's
    // beginning before a "." has nothing to load: most of a large window's controls, skipped
    // this way.
    bool mayHoldValuesOf(const QByteArray &foldedBase)
    {
        if (!basesKnown) {
            basesKnown = true;
            for (const RegistryStore::Value &v : key->values()) {
                const QByteArray folded = cp1251::foldCase(v.name);
                for (qsizetype dot = folded.indexOf('.'); dot >= 0;
                     dot = folded.indexOf('.', dot + 1))
                    bases.insert(folded.first(dot));
            }
        }
        return bases.contains(foldedBase);
    }
    QSet<QByteArray> bases;
    bool basesKnown = false;
    QByteArray scratch;
};

TStateSaver::TStateSaver(WindowHost &host, QString registryFolder, QObject *parent)
    : QObject(parent), host_(host), registryFolder_(std::move(registryFolder))
{
}

void TStateSaver::setRegistryRoot(const QString &name)
{
    const QString upper = name.toUpper();
    for (const Root &root : Roots) {
        if (upper == QLatin1String(root.name)) {
            rootName_ = upper;
            rootHandle_ = root.handle;
            return;
        }
    }
    host_.showMessage(MessageKind::Always, QStringLiteral("Invalid registry key."));
}

void TStateSaver::setRegistryRootHKEY(quint32 handle)
{
    for (const Root &root : Roots) {
        if (handle == root.handle) {
            rootName_ = QLatin1String(root.name);
            rootHandle_ = handle;
            return;
        }
    }
    host_.showMessage(MessageKind::Always, QStringLiteral("Unknown registry key."));
}

bool TStateSaver::SaveComponentState(QObject *component, const QString &prefix,
                                     const QString &suffix, QString *error)
{
    return run(true, {component}, prefix, suffix, error);
}

bool TStateSaver::LoadComponentState(QObject *component, const QString &prefix,
                                     const QString &suffix, QString *error)
{
    return run(false, {component}, prefix, suffix, error);
}

bool TStateSaver::LoadComponentsState(const QList<QWidget *> &components, const QString &prefix,
                                      const QString &suffix, QString *error)
{
    return run(false, QList<QObject *>(components.begin(), components.end()), prefix, suffix,
               error);
}

QByteArrayList TStateSaver::componentsWithValues(const QString &prefix) const
{
    Walk walk(false, registryFolder_, rootName_.toLatin1());
    if (!walk.hasRoot)
        return {};
    walk.store.read();
    walk.keyPath = cp1251::encode(RegistryPath);
    const RegistryStore::Key *key = walk.openKey();
    if (!key)
        return {};
    const QByteArray folded = cp1251::foldCase(cp1251::encode(prefix));
    QSet<QByteArray> names;
    for (const RegistryStore::Value &v : key->values()) {
        const QByteArray name = cp1251::foldCase(v.name);
        if (!name.startsWith(folded))
            continue;
        const qsizetype dot = name.indexOf('.', folded.size());
        if (dot > folded.size())
            names.insert(name.mid(folded.size(), dot - folded.size()));
    }
    return QByteArrayList(names.begin(), names.end());
}

bool TStateSaver::run(bool saving, const QList<QObject *> &components, const QString &prefix,
                      const QString &suffix, QString *error)
{
    // Without a root there is no store: every key fails to open.
    Walk walk(saving, registryFolder_, rootName_.toLatin1());
    if (walk.hasRoot)
        walk.store.read();
    walk.keyPath = cp1251::encode(RegistryPath);
    walk.suffix = cp1251::encode(suffix);
    // Nothing to load and nobody to tell: the walk would change nothing.
    if (!saving && !OnNewComponentLoading &&
        (!walk.openKey() || walk.openKey()->values().isEmpty()))
        return true;
    const QByteArray bytePrefix = cp1251::encode(prefix);
    const QByteArray foldedPrefix = cp1251::foldCase(bytePrefix);
    bool completed = true;
    for (QObject *component : components) {
        if (!(completed = visit(walk, component, bytePrefix, foldedPrefix)))
            break;
    }
    QString reason = walk.error;
    if (saving) {
        QString failure;
        if (!walk.store.save(&failure)) {
            reason = reason.isEmpty() ? failure : reason + '\n' + failure;
            if (error)
                *error = reason;
            return false;
        }
    }
    if (!completed && error)
        *error = reason;
    return completed;
}

bool TStateSaver::visit(Walk &walk, QObject *component, const QByteArray &prefix,
                        const QByteArray &foldedPrefix)
{
    bool doIt = true;
    const SaverEvent &event = walk.saving ? OnNewComponentSaving : OnNewComponentLoading;
    if (event)
        event(this, component, doIt);
    const bool owner = component == host_.window();
    QMenu *menu = doIt ? asMenu(component) : nullptr;
    QWidget *control = doIt && !menu ? asControl(component) : nullptr;
    if (!owner && !menu && !control)
        return true;
    const QString name = component->objectName();
    if (control && !walk.saving && walk.openKey()) {
        walk.scratch = foldedPrefix;
        appendFolded(walk.scratch, name);
        if (!walk.mayHoldValuesOf(walk.scratch))
            control = nullptr;
    }
    if (!owner && !menu && !control)
        return true;
    const QByteArray base = prefix + cp1251::encode(name);
    if (menu && !(walk.saving ? saveMenu(walk, menu, base) : loadMenu(walk, menu, base)))
        return false;
    if (control) {
        if (!walk.openKey()) {
            // Saving stops at a control whose key cannot be opened; loading goes on.
            if (walk.saving)
                return true;
        } else if (walk.saving) {
            saveControl(walk, control, base);
        } else {
            loadControl(walk, control, base);
        }
    }
    if (!owner)
        return true;
    // A copy: an event may add components.
    const QList<QPointer<QObject>> owned = host_.components();
    const QByteArray inner = base + '.';
    const QByteArray foldedInner = cp1251::foldCase(inner);
    for (const QPointer<QObject> &child : owned)
        if (child && child != component && !visit(walk, child, inner, foldedInner))
            return false;
    return true;
}

void TStateSaver::saveControl(Walk &walk, QWidget *w, const QByteArray &base)
{
    RegistryStore::Key &key = *walk.key;
    const QRect outer = w->frameGeometry();
    if (WriteTop)
        key.writeInteger(walk.name(base, ".TOP"), outer.y());
    if (WriteEnabled)
        key.writeBoolean(walk.name(base, ".Enabled"), ownEnabled(w));
    if (WriteVisible)
        key.writeBoolean(walk.name(base, ".Visible"), ownVisible(w));
    if (WriteLeft)
        key.writeInteger(walk.name(base, ".LEFT"), outer.x());
    if (WriteTag)
        key.writeInteger(walk.name(base, ".TAG"), dataslot::tag(w));
    if (WriteHeight)
        key.writeInteger(walk.name(base, ".HEIGHT"), outer.height());
    if (WriteWidth)
        key.writeInteger(walk.name(base, ".WIDTH"), outer.width());
    // A text that Windows-1251 cannot hold is skipped, like any value that cannot be written.
    auto writeText = [&](const char *property, const char *part) {
        QByteArray text;
        if (property && cp1251::fromUnicode(w->property(property).toString(), &text))
            key.writeString(walk.name(base, part), text);
    };
    if (WriteText)
        writeText(textProperty(w), ".Text");
    if (WriteColor)
        key.writeInteger(walk.name(base, ".Color"), colourValue(w->palette().color(colourRole(w))));
    if (WriteCaption)
        writeText(captionProperty(w), ".Caption");
}

void TStateSaver::loadControl(Walk &walk, QWidget *w, const QByteArray &base)
{
    const RegistryStore::Key &key = *walk.key;
    // Each value is read only when present; one that cannot be read is skipped.
    auto integer = [&](bool on, const char *part, auto apply) {
        qint32 v = 0;
        if (on && key.readInteger(walk.name(base, part), &v))
            apply(v);
    };
    auto boolean = [&](bool on, const char *part, auto apply) {
        bool v = false;
        if (on && key.readBoolean(walk.name(base, part), &v))
            apply(v);
    };
    auto text = [&](bool on, const char *(*property)(const QWidget *), const char *part) {
        QByteArray v;
        const char *name = on ? property(w) : nullptr;
        if (name && key.readString(walk.name(base, part), &v))
            w->setProperty(name, cp1251::toUnicode(v));
    };
    integer(WriteTop, ".TOP", [w](int v) { w->move(w->x(), v); });
    boolean(WriteEnabled, ".Enabled", [w](bool v) { w->setEnabled(v); });
    boolean(WriteVisible, ".Visible", [w](bool v) { w->setVisible(v); });
    integer(WriteLeft, ".LEFT", [w](int v) { w->move(v, w->y()); });
    integer(WriteTag, ".TAG", [w](int v) { dataslot::setTag(w, v); });
    integer(WriteHeight, ".HEIGHT", [w](int v) { setOuterSize(w, w->frameGeometry().width(), v); });
    integer(WriteWidth, ".WIDTH", [w](int v) { setOuterSize(w, v, w->frameGeometry().height()); });
    text(WriteText, textProperty, ".Text");
    integer(WriteColor, ".Color", [w](qint32 v) {
        if (v & 0xFF000000)
            return; // not a colour of red, green and blue
        // The control keeps this colour from now on instead of its parent's; the controls
        // that take theirs from it follow.
        QPalette pal = w->palette();
        pal.setColor(colourRole(w), QColor(v & 0xFF, v >> 8 & 0xFF, v >> 16 & 0xFF));
        w->setPalette(pal);
    });
    text(WriteCaption, captionProperty, ".Caption");
}

bool TStateSaver::saveMenu(Walk &walk, QMenu *menu, const QByteArray &base)
{
    RegistryStore::Key *key = walk.openKey();
    if (!key)
        return true;
    const QList<QAction *> items = menu->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QAction *item = items[i];
        const QByteArray itemBase = base + ".Item[" + QByteArray::number(i) + ']';
        if (WriteCaption) {
            QByteArray caption;
            if (!cp1251::fromUnicode(item->text(), &caption)) {
                walk.error =
                    QStringLiteral("Текст пункта меню нельзя сохранить в реестре: ") + item->text();
                return false;
            }
            key->writeString(walk.name(itemBase, ".Caption"), caption);
        }
        if (WriteEnabled)
            key->writeBoolean(walk.name(itemBase, ".Enabled"), item->isEnabled());
        if (WriteVisible)
            key->writeBoolean(walk.name(itemBase, ".Visible"), item->isVisible());
        if (WriteChecked)
            key->writeBoolean(walk.name(itemBase, ".Checked"), item->isChecked());
    }
    return true;
}

bool TStateSaver::loadMenu(Walk &walk, QMenu *menu, const QByteArray &base)
{
    const RegistryStore::Key *key = walk.openKey();
    if (!key)
        return true;
    const QList<QAction *> items = menu->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction *item = items[i];
        const QByteArray itemBase = base + ".Item[" + QByteArray::number(i) + ']';
        // Unlike a control's values, a menu item's value that cannot be read ends the load.
        auto boolean = [&](bool on, const char *part, auto apply) {
            const QByteArray name = walk.name(itemBase, part);
            bool v = false;
            if (!on || !key->valueExists(name))
                return true;
            if (!key->readBoolean(name, &v, &walk.error))
                return false;
            apply(v);
            return true;
        };
        if (WriteCaption) {
            const QByteArray name = walk.name(itemBase, ".Caption");
            QByteArray caption;
            if (key->valueExists(name)) {
                if (!key->readString(name, &caption, &walk.error))
                    return false;
                item->setText(cp1251::toUnicode(caption));
            }
        }
        if (!boolean(WriteEnabled, ".Enabled", [item](bool v) { item->setEnabled(v); }) ||
            !boolean(WriteVisible, ".Visible", [item](bool v) { item->setVisible(v); }) ||
            !boolean(WriteChecked, ".Checked", [item](bool v) { item->setChecked(v); }))
            return false;
    }
    return true;
}
