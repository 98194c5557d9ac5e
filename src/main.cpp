#include "platform/message_box_qt.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivista"));
    InstallQtMessageBoxPresenter();
    return app.exec();
}
