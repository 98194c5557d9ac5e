// Every window of the program at once: each fixed-size control's text fits it in the font the
// window ends up with, and each control has an accessible name of its own. The suite runs
// twice: with the declared font, and with a fontconfig that offers DejaVu alone.
#include "../info/fake_browser.h"
#include "../settings/settings_rig.h"
#include "info/form5.h"
#include "info/frm_browser.h"
#include "platform/dialog_font.h"
#include "settings/config_text_box.h"
#include "statistics/form4.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>

namespace {

// The font family the windows are expected to show in this run.
QString expectedFamily() {
    const QString forced = qEnvironmentVariable("LUMI_EXPECT_FONT");
    return forced.isEmpty() ? DialogFont::Family() : forced;
}

// How far the ink of a text reaches from the pen's start: the right edge of its outline.
double inkRight(const QFont& font, const QString& text) {
    const QString shown = QString(text).remove(QLatin1Char('&')).trimmed();
    if (shown.isEmpty()) return 0;
    QPainterPath outline;
    outline.addText(0, 0, font, shown);
    return outline.boundingRect().right();
}

// The room a control gives its text, and the texts it must hold.
struct Room {
    double width = 0;
    double height = 0;
    QStringList texts;
    bool wrapped = false;
};

Room roomOf(QWidget* w) {
    Room room;
    const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        room = {double(label->contentsRect().width()),
                double(label->contentsRect().height()),
                {label->text()},
                label->wordWrap()};
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        room = {double(button->width() - 2 * frame - 2),
                double(button->height() - 2 * frame),
                {button->text()},
                false};
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        room = {double(edit->width() - 2 * frame - 4),
                double(edit->height() - 2 * frame),
                {edit->text()},
                false};
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
        room = {double(field.width() - 4), double(field.height()), {}, false};
        for (int i = 0; i < combo->count(); ++i)
            room.texts << combo->itemText(i);
    }
    return room;
}

QList<QWidget*> controlsOf(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() != window || child->objectName().startsWith(QLatin1String("qt_")) ||
            qobject_cast<QComboBox*>(child->parentWidget()))
            continue;
        controls << child;
    }
    return controls;
}

QString describe(QWidget* w) {
    return QStringLiteral("%1 \"%2\" at %3,%4")
        .arg(QLatin1String(w->metaObject()->className()),
             QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name))
        .arg(w->x())
        .arg(w->y());
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsRig> m_rig;
    QPointer<frmBrowser> m_viewer;

    // The window of a row, opened as the program opens it.
    QWidget* window(const QString& name) {
        if (name == QLatin1String("logo")) return m_rig->form1.get();
        if (name == QLatin1String("configuration")) return m_rig->openConfiguration();
        if (name == QLatin1String("statistics")) {
            ShowStatisticsWindow();
            return StatisticsWindow();
        }
        if (name == QLatin1String("about")) {
            ShowAboutWindow();
            return Form5::instance();
        }
        if (!m_viewer) m_viewer = new frmBrowser(std::make_unique<FakeBrowser>(), m_rig->clock);
        return m_viewer;
    }

    static void addWindowRows(bool withLogo) {
        QTest::addColumn<QString>("name");
        if (withLogo) QTest::newRow("logo") << QStringLiteral("logo");
        for (const char* name : {"configuration", "statistics", "about", "viewer"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

private slots:
    void init() {
        m_rig = std::make_unique<SettingsRig>(fullSettings());
        m_rig->form1->show();
    }

    void cleanup() {
        delete m_viewer;
        if (Form4* statistics = StatisticsWindow()) delete statistics;
        if (Form5* about = Form5::instance()) delete about;
        m_rig.reset();
    }

    void windowsShowTheDeclaredFamily_data() { addWindowRows(false); }

    void windowsShowTheDeclaredFamily() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        QVERIFY(w);
        qInfo("%s: %s %d px", qPrintable(name), qPrintable(QFontInfo(w->font()).family()),
              w->font().pixelSize());
        QCOMPARE(QFontInfo(w->font()).family(), expectedFamily());
        // The declared font holds every text at the size the layouts were drawn for.
        if (expectedFamily() == DialogFont::Family())
            QCOMPARE(w->font().pixelSize(), DialogFont::DesignPixelSize);
        QVERIFY(w->font().pixelSize() >= 8);
    }

    void everyFixedTextFits_data() { addWindowRows(false); }

    void everyFixedTextFits() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        QVERIFY(w);
        w->show();
        int measured = 0;
        for (QWidget* control : controlsOf(w)) {
            // The viewer's address box follows the window's width; only its label is fixed.
            if (name == QLatin1String("viewer") && !qobject_cast<QLabel*>(control)) continue;
            const QFont font = control->font();
            // A control that lays out its text itself says what room that takes.
            if (auto* self = dynamic_cast<DialogFont::SelfMeasured*>(control)) {
                const QSizeF needed = self->TextSize(font);
                QVERIFY2(needed.width() <= control->width() && needed.height() <= control->height(),
                         qPrintable(describe(control)));
                ++measured;
                continue;
            }
            const Room room = roomOf(control);
            const QFontMetricsF fm(font);
            for (const QString& text : room.texts) {
                if (text.trimmed().isEmpty()) continue;
                ++measured;
                if (room.wrapped) {
                    const QRectF needed =
                        fm.boundingRect(QRectF(0, 0, room.width, 1e6), Qt::TextWordWrap, text);
                    QVERIFY2(needed.height() <= room.height + 0.05,
                             qPrintable(describe(control) + QStringLiteral(" wraps below")));
                    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                        QVERIFY2(inkRight(font, word) <= room.width + 0.05,
                                 qPrintable(describe(control)));
                    continue;
                }
                const QStringList lines = text.split(QLatin1Char('\n'));
                for (const QString& line : lines)
                    QVERIFY2(
                        inkRight(font, line) <= room.width + 0.05,
                        qPrintable(describe(control) + QStringLiteral(": \"%1\" needs %2 of %3")
                                                           .arg(line)
                                                           .arg(inkRight(font, line))
                                                           .arg(room.width)));
                QVERIFY2(fm.height() + fm.lineSpacing() * (lines.size() - 1) <= room.height + 0.05,
                         qPrintable(describe(control) + QStringLiteral(" is too low")));
            }
        }
        QVERIFY(measured >= 1);
    }

    void everyControlHasItsOwnName_data() { addWindowRows(true); }

    void everyControlHasItsOwnName() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        QVERIFY(w);
        QHash<QString, QWidget*> names;
        for (QWidget* control : controlsOf(w)) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
            QVERIFY(face);
            // Panels only hold other controls; what they hold is named.
            if (face->role() == QAccessible::Client && control->findChildren<QWidget*>().size() > 0)
                continue;
            const QString own = face->text(QAccessible::Name).trimmed();
            QVERIFY2(!own.isEmpty(),
                     qPrintable(describe(control) + QStringLiteral(" has no name")));
            QVERIFY2(!names.contains(own),
                     qPrintable(QStringLiteral("\"%1\" names two controls").arg(own)));
            names.insert(own, control);
            // A picture also says what it shows.
            if (qobject_cast<AniGifPlayer*>(control) ||
                (qobject_cast<QLabel*>(control) &&
                 qobject_cast<QLabel*>(control)->text().isEmpty()) ||
                control->objectName() == QLatin1String("Picture1"))
                QVERIFY2(!face->text(QAccessible::Description).isEmpty(),
                         qPrintable(describe(control) + QStringLiteral(" has no description")));
        }
        QVERIFY(names.size() >= 3);
        QVERIFY(QList<QAccessible::Role>({QAccessible::Window, QAccessible::Dialog})
                    .contains(QAccessible::queryAccessibleInterface(w)->role()));
    }

    void namesFollowRowAndColumn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("control"); // how to reach it, see below
        QTest::addColumn<QString>("expected");
        QTest::newRow("logo") << "logo"
                              << "logo"
                              << "Lumivista";
        QTest::newRow("first player") << "logo"
                                      << "AniGif 0"
                                      << "Edging";
        QTest::newRow("wave player") << "logo"
                                     << "AniGif 7"
                                     << "Doing the wave";
        QTest::newRow("frequency") << "configuration"
                                   << "Text2 0"
                                   << "Edging frequency";
        QTest::newRow("last frequency") << "configuration"
                                        << "Text2 8"
                                        << "Making 'X's frequency";
        QTest::newRow("timing") << "configuration"
                                << "Text3 0"
                                << "Timing";
        QTest::newRow("message") << "configuration"
                                 << "Text4 0"
                                 << "Edging message";
        QTest::newRow("minutes") << "statistics"
                                 << "txtMinPasses"
                                 << "Minutes";
        // On Linux a combo box is named by its text; its label comes as a relation.
        QTest::newRow("activity") << "statistics"
                                  << "cmbActivite"
                                  << "1. Edging";
        QTest::newRow("back") << "viewer"
                              << "Back"
                              << "Back";
    }

    void namesFollowRowAndColumn() {
        QFETCH(QString, name);
        QFETCH(QString, control);
        QFETCH(QString, expected);
        QWidget* w = window(name);
        const QStringList path = control.split(QLatin1Char(' '));
        QWidget* target = nullptr;
        const int index = path.value(1).toInt();
        if (control == QLatin1String("logo"))
            target = m_rig->form1->childAt(1, 1);
        else if (path[0] == QLatin1String("AniGif"))
            target = &m_rig->form1->AniGif(index);
        else if (path[0] == QLatin1String("Text2"))
            target = Form2::Loaded()->Text2(index);
        else if (path[0] == QLatin1String("Text3"))
            target = Form2::Loaded()->Text3(index);
        else if (path[0] == QLatin1String("Text4"))
            target = Form2::Loaded()->Text4(index);
        else if (control == QLatin1String("txtMinPasses"))
            target = StatisticsWindow()->txtMinPasses;
        else if (control == QLatin1String("cmbActivite"))
            target = StatisticsWindow()->cmbActivite;
        else
            for (QToolButton* button : w->findChildren<QToolButton*>())
                if (button->defaultAction() && button->defaultAction()->objectName() == control)
                    target = button;
        QVERIFY(target);
        QCOMPARE(QAccessible::queryAccessibleInterface(target)->text(QAccessible::Name), expected);
        // The logo and the animations are pictures to a screen reader.
        if (name == "logo")
            QCOMPARE(QAccessible::queryAccessibleInterface(target)->role(), QAccessible::Graphic);
    }

    // A screen reader finds the open popup menu by walking from the application down; the
    // menu must hang in that tree, under the window it was opened from, with its commands.
    void openPopupMenuIsInTheAccessibleTree() {
        m_rig->form1->hooks.popupMenu(m_rig->form1->mapToGlobal(QPoint(10, 10)));
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTRY_VERIFY(menu->isVisible());

        QAccessibleInterface* found = nullptr;
        std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* face,
                                                                   int depth) {
            if (!face || found || depth > 12) return;
            if (face->object() == menu) {
                found = face;
                return;
            }
            for (int i = 0; i < face->childCount(); ++i)
                walk(face->child(i), depth + 1);
        };
        walk(QAccessible::queryAccessibleInterface(qApp), 0);
        QVERIFY2(found, "the open menu cannot be reached from the application");
        QCOMPARE(found->role(), QAccessible::PopupMenu);
        QCOMPARE(found->text(QAccessible::Name), QStringLiteral("Options"));
        QStringList items;
        for (int i = 0; i < found->childCount(); ++i)
            items << found->child(i)->text(QAccessible::Name);
        QCOMPARE(items, QStringList({"About Lumivista ...", "Configuration", "Statistics",
                                     "Back/Front", "Exit"}));
        // Up again: the menu's parent lists it among its children, and only while it is open.
        QAccessibleInterface* parent = found->parent();
        QCOMPARE(parent, QAccessible::queryAccessibleInterface(qApp));
        const int index = parent->indexOfChild(found);
        QVERIFY(index >= 0);
        QCOMPARE(parent->child(index), found);
        menu->hide();
        QCOMPARE(parent->indexOfChild(found), -1);
    }

    // Boxes named by their text are labelled by the label beside them.
    void comboBoxesHaveALabel_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("statistics") << "statistics"
                                    << "Indicate the time spent:";
        QTest::newRow("viewer") << "viewer"
                                << "Address:";
    }

    void comboBoxesHaveALabel() {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QComboBox* combo = window(name)->findChild<QComboBox*>();
        QVERIFY(combo);
        QStringList labels;
        for (const auto& relation :
             QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label))
            labels << relation.first->text(QAccessible::Name);
        QCOMPARE(labels, QStringList{label});
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
