#include "form5.h"

#include "core/center_form.h"
#include "info/maker.h"
#include "info/viewer_process.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/one_window.h"
#include "platform/twips.h"

#include <QFontMetricsF>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

constexpr double kClientWidth = 4155;
constexpr double kClientHeight = 5415; // a margin of 240 below the buttons

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// A picture box exactly the size of its picture; the picture's @2x version is used on a
// scaled screen.
class PictureBox : public QWidget {
public:
    PictureBox(const QString& path, QWidget* parent) : QWidget(parent), m_icon(path) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_icon.paint(&painter, rect());
    }

private:
    QIcon m_icon;
};

// A command button whose caption wraps onto a second line when it is wider than the button.
class WrappingButton : public QPushButton, public DialogFont::SelfMeasured {
public:
    using QPushButton::QPushButton;

    QSizeF TextSize(const QFont& font) const override {
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        const QFontMetricsF fm(font);
        const QString caption = QString(text()).remove(QLatin1Char('&'));
        const QRectF wrapped = fm.boundingRect(QRectF(0, 0, area.width(), 1e6),
                                               Qt::AlignCenter | Qt::TextWordWrap, caption);
        double widest = 0;
        for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, fm.horizontalAdvance(word));
        // Compared with the whole button: add back what lies outside the contents.
        return {widest + width() - area.width(), wrapped.height() + height() - area.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption);
    }
};

} // namespace

QPointer<Form5> Form5::s_instance;

Form5::Form5(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    s_instance = this;
    setObjectName(QStringLiteral("Form5"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral(" About Lumivista"));
    setFont(DialogFont::Font());
    setFixedSize(Twips::ToPixelsX(kClientWidth), Twips::ToPixelsY(kClientHeight));
    DesktopWindow::MakeFixed(this);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Lumivista, Version 3.5"),
                       Twips::ToPixelRect(960, 120, 2055, 255));
    lbl6 =
        makeLabel(this, "lbl6", QStringLiteral("Warning:"), Twips::ToPixelRect(240, 420, 795, 255));
    Label2 = makeLabel(this, "Label2", Maker::LegalNotice, Twips::ToPixelRect(240, 690, 3675, 915));
    Label3 =
        makeLabel(this, "Label3", Maker::LegalReference, Twips::ToPixelRect(240, 1635, 3675, 255));
    Label4 =
        makeLabel(this, "Label4", Maker::CopyrightLine, Twips::ToPixelRect(240, 1890, 3675, 255));

    Picture1 = new PictureBox(QStringLiteral(":/pictures/about.png"), this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips::ToPixelRect(390, 2190, 3225, 1170));
    Picture1->setAccessibleName(QStringLiteral("Picture"));
    Picture1->setAccessibleDescription(
        QStringLiteral("A pair of eyeglasses struck through by a large X"));

    Label5 = makeLabel(this, "Label5", Maker::PropertyStatement(),
                       Twips::ToPixelRect(360, 3420, 3285, 1035));
    Label5->setWordWrap(false);

    cmd2 = new WrappingButton(QStringLiteral("Visit ") + Maker::WebAddress + QStringLiteral(" "),
                              this);
    cmd2->setObjectName(QStringLiteral("cmd2"));
    cmd2->setGeometry(Twips::ToPixelRect(360, 4560, 1635, 615));
    cmd2->setAutoDefault(false);
    cmd2->setToolTip(Maker::HomePage);
    connect(cmd2, &QPushButton::clicked, this, &Form5::cmd2_Click);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::ToPixelRect(2040, 4560, 1635, 615));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &Form5::cmdOK_Click);

    setTabOrder(cmdOK, cmd2);
    cmdOK->setFocus();

    setFont(DialogFont::Fitted(DialogFont::Font(), DialogFont::FixedTextControls(this)));
}

Form5::~Form5() = default;

Form5* Form5::instance() { return s_instance.data(); }

void Form5::Form_Load() { CenterForm(this); }

void Form5::cmdOK_Click() { close(); }

void Form5::cmd2_Click() { ViewerProcess::instance().showViewer(); }

void ShowAboutWindow() { ShowOneWindow(Form5::instance()); }
