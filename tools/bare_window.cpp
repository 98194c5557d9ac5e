// The smallest comparable Qt program: one frameless 87 x 37 window shown without activation
// at the floating window's place. Used to put the program's start time, memory and CPU use
// beside Qt's own floor.
#include <QApplication>
#include <QPainter>
#include <QWidget>

class Bare : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor(0x1E, 0x4E, 0x7C));
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Bare window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.setGeometry(1344, 900, 87, 37);
    window.show();
    return app.exec();
}
