#include "screen_reader.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QStyle>

namespace {

constexpr const char* NoticeName = "lumivista_notice";

// The spoken notice of a window: an object with the notification role whose appearance
// readers speak (AT-SPI: a "showing" state change of a notification). It has no widget, so
// nothing is drawn and the focus stays where it is. With Qt 6.8 and later the text is
// announced through Qt's announcement event instead, and the notice only holds the last one.
class AccessibleNotice : public QAccessibleObject {
public:
    explicit AccessibleNotice(QObject* notice) : QAccessibleObject(notice) {}
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(object()->parent());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? m_text : QString();
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t == QAccessible::Name)
            m_text = text;
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
    QRect rect() const override {
        QAccessibleInterface* window = parent();
        return window ? window->rect() : QRect();
    }

private:
    QString m_text;
};

QString withoutAmpersands(QString text) {
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// A menu item, with a checkable one as a check box: Qt presents it as a plain menu item whose
// mark readers announce only when set.
class AccessibleMenuItem : public QAccessibleObject, public QAccessibleActionInterface {
public:
    AccessibleMenuItem(QAction* action, QMenu* menu) : QAccessibleObject(action), m_menu(menu) {}
    QAction* action() const { return static_cast<QAction*>(object()); }

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_menu);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return withoutAmpersands(action()->text());
        case QAccessible::Description:
            return action()->toolTip() == withoutAmpersands(action()->text()) ? QString()
                                                                              : action()->toolTip();
        case QAccessible::Accelerator: {
            const int amp = action()->text().indexOf(QLatin1Char('&'));
            return amp >= 0 ? action()->text().mid(amp + 1, 1).toUpper() : QString();
        }
        default:
            return QString();
        }
    }
    QAccessible::Role role() const override {
        return action()->isSeparator()   ? QAccessible::Separator
               : action()->isCheckable() ? QAccessible::CheckBox
                                         : QAccessible::MenuItem;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = !action()->isSeparator();
        s.checkable = action()->isCheckable();
        s.checked = action()->isChecked();
        s.disabled = !action()->isEnabled();
        s.invisible = !action()->isVisible() || !m_menu || !m_menu->isVisible();
        s.focused = m_menu && m_menu->activeAction() == action();
        s.hotTracked = s.focused;
        return s;
    }
    QRect rect() const override {
        if (!m_menu)
            return QRect();
        const QRect local = m_menu->actionGeometry(action());
        return QRect(m_menu->mapToGlobal(local.topLeft()), local.size());
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override {
        if (action()->isSeparator())
            return {};
        return action()->isCheckable() ? QStringList{pressAction(), toggleAction()}
                                       : QStringList{pressAction()};
    }
    void doAction(const QString& name) override {
        if (!action()->isEnabled() || !actionNames().contains(name))
            return;
        // As a chosen item: the menu closes before the command runs.
        if (m_menu)
            m_menu->hide();
        action()->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QMenu> m_menu;
};

// A menu whose items are the faces above. Qt's own menu finds the index of a child by the
// menu item role alone, so a check box item would stand at index -1 and readers would drop it
// as a dead object.
class AccessibleMenu : public QAccessibleWidget {
public:
    explicit AccessibleMenu(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}
    QMenu* menu() const { return static_cast<QMenu*>(widget()); }

    int childCount() const override { return int(menu()->actions().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QAction*> actions = menu()->actions();
        return index >= 0 && index < actions.size()
                   ? QAccessible::queryAccessibleInterface(actions.at(index))
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return int(menu()->actions().indexOf(qobject_cast<QAction*>(child->object())));
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QAction* action = menu()->actionAt(menu()->mapFromGlobal(QPoint(x, y)));
        return action ? QAccessible::queryAccessibleInterface(action) : nullptr;
    }
};

// The line edit's text as readers need it; see ReadableLineEdit.
class AccessibleLineEdit : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit AccessibleLineEdit(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {}
    QLineEdit* edit() const { return static_cast<QLineEdit*>(object()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t == QAccessible::Value)
            edit()->setText(text);
        else
            QAccessibleWidget::setText(t, text);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = edit()->isReadOnly();
        s.editable = !s.readOnly;
        s.selectableText = true;
        s.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // One font and colour over the whole box: a single run from the first character to the
    // end, whatever offset is asked about.
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        const int length = characterCount();
        const bool inside = offset >= 0 && offset <= length;
        *startOffset = inside ? 0 : -1;
        *endOffset = inside ? length : -1;
        return QString();
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && edit()->hasSelectedText()) {
            *start = edit()->selectionStart();
            *end = edit()->selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0)
            edit()->deselect();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0)
            edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int offset) const override {
        const QString text = shown();
        if (offset < 0 || offset >= text.size())
            return QRect();
        QLineEdit* e = edit();
        const QFontMetrics metrics(e->font());
        // The text starts past the frame, the margins and the line edit's own 2 pixels.
        const int frame = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
        const QRect area = e->contentsRect().marginsRemoved(e->textMargins());
        const int left = area.left() + frame + 2 + metrics.horizontalAdvance(text.left(offset));
        const QRect local(left, area.top(), metrics.horizontalAdvance(text.at(offset)),
                          area.height());
        return QRect(e->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        edit()->setCursorPosition(end);
        edit()->setCursorPosition(start);
    }

    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override {
        edit()->setCursorPosition(offset);
        edit()->insert(text);
    }
    void replaceText(int start, int end, const QString& text) override {
        edit()->setSelection(start, end - start);
        edit()->insert(text);
    }

private:
    QString shown() const {
        return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : QString();
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className == QLatin1String("ReadableLineEdit"))
        return new AccessibleLineEdit(static_cast<QLineEdit*>(object));
    if (auto* menu = qobject_cast<QMenu*>(object))
        return new AccessibleMenu(menu);
    auto* action = qobject_cast<QAction*>(object);
    if (!action)
        return nullptr;
    for (QObject* shownIn : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(shownIn))
            return new AccessibleMenuItem(action, menu);
    return nullptr;
}

} // namespace

namespace ScreenReader {

void InstallInterfaces() {
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
}

void Announce(QWidget* from, const QString& text) {
    if (!from || text.isEmpty())
        return;
    QObject* notice =
        from->findChild<QObject*>(QLatin1String(NoticeName), Qt::FindDirectChildrenOnly);
    QAccessibleInterface* face = nullptr;
    if (notice) {
        face = QAccessible::queryAccessibleInterface(notice);
    } else {
        notice = new QObject(from);
        notice->setObjectName(QLatin1String(NoticeName));
        face = new AccessibleNotice(notice);
        QAccessible::registerAccessibleInterface(face);
    }
    face->setText(QAccessible::Name, text);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Qt's own announcement: read as the text alone, where the notice's appearance is read
    // with its role ("... notification") after it.
    QAccessibleAnnouncementEvent announcement(from, text);
    QAccessible::updateAccessibility(&announcement);
#else
    QAccessibleEvent named(face, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent shown(face, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
#endif
}

QString WindowSummary(QWidget* window) {
    QStringList parts{window->windowTitle().trimmed()};
    if (QWidget* focused = window->focusWidget()) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(focused);
        for (QAccessible::Text t :
             {QAccessible::Name, QAccessible::Value, QAccessible::Description})
            if (face && !face->text(t).trimmed().isEmpty() && !parts.contains(face->text(t)))
                parts << face->text(t).trimmed();
    }
    parts.removeAll(QString());
    return parts.join(QLatin1String(", "));
}

} // namespace ScreenReader

ReadableLineEdit::ReadableLineEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    ScreenReader::InstallInterfaces();
}
