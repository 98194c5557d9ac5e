#include "dialog_font.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPainterPath>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <cmath>

namespace DialogFont {
namespace {

// A sub-pixel of rounding is not a cut.
constexpr double Slack = 0.05;

// How far right the ink of one line reaches from where the text starts, from the glyphs'
// outlines: the blank side bearing of the last glyph may overhang the edge ("spent:" at
// 11 px advances 113.6 px, its ink ends at 112.5).
double inkWidth(const QFont& font, const QString& line) {
    static const QRegularExpression trailing(QStringLiteral("\\s+$"));
    const QString text = QString(line).remove(trailing);
    if (text.trimmed().isEmpty())
        return 0;
    QPainterPath outline;
    outline.addText(0, 0, font, text);
    return std::max(0.0, outline.boundingRect().right());
}

QString withoutMnemonics(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// The size a block of lines needs; word-wrapped text is broken as QLabel breaks it.
QSizeF blockSize(const QFont& font, const QString& text, double width, bool wrap) {
    const QFontMetricsF fm(font);
    if (wrap) {
        const QRectF r = fm.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text);
        double widest = 0;
        for (const QString& word :
             text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
            widest = std::max(widest, inkWidth(font, word));
        return {widest, r.height()};
    }
    const QStringList lines = text.split(QLatin1Char('\n'));
    double widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, inkWidth(font, line));
    return {widest, fm.height() + fm.lineSpacing() * (lines.size() - 1)};
}

bool within(const QSizeF& need, double width, double height) {
    return need.width() <= width + Slack && need.height() <= height + Slack;
}

} // namespace

QString Family() { return QStringLiteral("Liberation Sans"); }

QFont Font(int pixelSize) {
    QFont font(Family());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

bool TextFits(const QWidget* control, const QFont& font) {
    const QFontMetricsF fm(font);
    if (const auto* self = dynamic_cast<const SelfMeasured*>(control))
        return within(self->TextSize(font), control->width(), control->height());
    QStyle* style = control->style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control);
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->text().isEmpty())
            return true;
        const QRect room = label->contentsRect();
        const QString text = label->textFormat() == Qt::RichText
                                 ? QString(label->text()).remove(QRegularExpression("<[^>]*>"))
                                 : label->text();
        const QString shown = label->buddy() ? withoutMnemonics(text) : text;
        return within(blockSize(font, shown, room.width(), label->wordWrap()), room.width(),
                      room.height());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        if (button->text().isEmpty())
            return true;
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control);
        return within(blockSize(font, withoutMnemonics(button->text()), 0, false),
                      button->width() - 2 * frame - margin, button->height() - 2 * frame);
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        // QLineEdit keeps 2 px beside its text and 1 px above and below it.
        const QMargins m = edit->textMargins();
        const double width = edit->width() - 2 * frame - 4 - m.left() - m.right();
        const double height = edit->height() - 2 * frame - 2 - m.top() - m.bottom();
        return within(blockSize(font, edit->text(), 0, false), width, height);
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            if (!within(blockSize(font, combo->itemText(i), 0, false), field.width() - 4,
                        field.height()))
                return false;
        return within(blockSize(font, combo->currentText(), 0, false), field.width() - 4,
                      field.height());
    }
    return true;
}

QList<QWidget*> FixedTextControls(const QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->isWindow() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        // The edit field of a combo box is measured with its combo box.
        if (qobject_cast<QComboBox*>(child->parentWidget()))
            continue;
        if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child) ||
            qobject_cast<QLineEdit*>(child) || qobject_cast<QComboBox*>(child))
            controls.append(child);
    }
    return controls;
}

QFont Fitted(const QFont& design, const QList<QWidget*>& controls) {
    QFont font = design;
    const int largest = design.pixelSize() > 0 ? design.pixelSize() : DesignPixelSize;
    for (int size = largest; size >= SmallestPixelSize; --size) {
        font.setPixelSize(size);
        bool all = true;
        for (const QWidget* control : controls)
            if (!TextFits(control, font)) {
                all = false;
                break;
            }
        if (all)
            return font;
    }
    return font;
}

void UseEverywhere() {
    QFont font = QApplication::font();
    font.setFamilies({Family()});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    // Platform themes give menus and message boxes fonts of their own.
    QApplication::setFont(font, "QMenu");
    QApplication::setFont(font, "QMessageBox");
}

} // namespace DialogFont
