// The popup menu of the floating window, owned by Form2, and its five commands.

#include "form2.h"

#include "core/form1.h"
#include "core/form1_procedures.h"
#include "platform/failure.h"
#include "platform/message_box.h"
#include "platform/screen_reader.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>

void Form2::buildMenu() {
    ScreenReader::InstallInterfaces(); // Back/Front reads as a check box
    m_mnuOptions = new QMenu(QStringLiteral("&Options"), this);
    m_mnuOptions->setObjectName(QStringLiteral("MNU_Options"));
    m_mnuOptions->setAccessibleName(QStringLiteral("Options"));
    auto item = [this](const char* name, const char* caption, void (Form2::*command)()) {
        QAction* action = m_mnuOptions->addAction(QString::fromUtf8(caption));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
        return action;
    };
    m_mnuApropos = item("MNU_Apropos", "&About Lumivista ...", &Form2::MNU_Apropos_Click);
    m_mnuConfigurer = item("MNU_Configurer", "&Configuration", &Form2::MNU_Configurer_Click);
    m_mnuStatistiques = item("MNU_Statistiques", "&Statistics", &Form2::MNU_Statistiques_Click);
    m_mnuEnArriere = m_mnuOptions->addAction(QStringLiteral("&Back/Front"));
    m_mnuEnArriere->setObjectName(QStringLiteral("MNU_EnArriere"));
    connect(m_mnuEnArriere, &QAction::triggered, this, [this] {
        // Choosing a checkable item flips its mark before the command runs; the command reads
        // the mark as it was and changes it itself, after the message.
        m_mnuEnArriere->setChecked(!m_mnuEnArriere->isChecked());
        MNU_EnArriere_Click();
    });
    m_mnuDesactiver = item("MNU_Desactiver", "&Exit", &Form2::MNU_Desactiver_Click);

    // The mark tells the floating window's real stacking. A menu built afresh after the
    // window was closed must not claim "on top" from its definition while it is not.
    m_mnuEnArriere->setCheckable(true);
    m_mnuEnArriere->setChecked(m_form1 ? IsTopmost(m_form1) : true);
}

void Form2::ConnectFloatingWindow(Form1& form1, const MenuCommands& commands) {
    Form1* window = &form1;
    form1.hooks.setBackFrontMark = [window, commands](bool checked) {
        Form2::Load(window, commands)->SetBackFrontMark(checked);
    };
    form1.hooks.popupMenu = [window, commands](QPoint globalPos) {
        Form2::Load(window, commands)->PopupMenu(globalPos);
    };
    // Form1 has already run ResetExerciseTimers before calling this.
    form1.hooks.doubleClick = [window, commands] { Form2::Load(window, commands)->ShowModeless(); };
}

void Form2::PopupMenu(const QPoint& globalPos) {
    // One menu per request, whether the Menu key's press or its context menu event comes first.
    if (m_mnuOptions->isVisible())
        return;
    m_mnuOptions->popup(globalPos);
    // Opened from the keyboard, the menu starts on its first item, which readers then speak
    // with its place in the menu; a right-click leaves the choice to the pointer.
    if (QGuiApplication::mouseButtons() == Qt::NoButton)
        m_mnuOptions->setActiveAction(m_mnuApropos);
    ScreenReader::Announce(
        m_mnuOptions, QStringLiteral("Options menu, %1 items").arg(m_mnuOptions->actions().size()));
}

void Form2::SetBackFrontMark(bool checked) { m_mnuEnArriere->setChecked(checked); }

void Form2::MNU_Apropos_Click() {
    if (m_commands.showAbout)
        m_commands.showAbout();
}

void Form2::MNU_Configurer_Click() {
    ResetExerciseTimers();
    if (m_form1)
        m_form1->SetWidth(m_form1->Image2Width());
    Form2::Load(m_form1, m_commands)->ShowModeless();
    if (m_form1)
        m_form1->SetWidth(m_form1->Image2Width());
}

void Form2::MNU_Statistiques_Click() {
    if (m_commands.showStatistics)
        m_commands.showStatistics();
}

void Form2::MNU_EnArriere_Click() {
    try {
        if (!m_mnuEnArriere->isChecked()) {
            MsgBox(QStringLiteral("Icons will appear in front of all opened programs or documents"),
                   MsgStyle::OkOnly, QStringLiteral("Attention..."));
            if (m_form1)
                SetWindowZOrder(m_form1, true);
            m_mnuEnArriere->setChecked(true);
        } else {
            MsgBox(QStringLiteral("Icons will appear behind all opened programs or documents"),
                   MsgStyle::OkOnly, QStringLiteral("Attention..."));
            if (m_form1)
                SetWindowZOrder(m_form1, false);
            m_mnuEnArriere->setChecked(false);
        }
    } catch (const Failure& failure) {
        ShowErrorReport(QStringLiteral("MNU_EnArriere_Click"), failure);
    }
}

void Form2::MNU_Desactiver_Click() {
    const int answer =
        MsgBox(QStringLiteral(" Are you sure you want to exit the Lumivista program?"),
               MsgStyle::YesNo | MsgStyle::Critical | MsgStyle::DefaultButton2);
    if (answer == MsgAnswer::Yes)
        if (m_form1)
            m_form1->Unload();
}
