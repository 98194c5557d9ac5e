// The smallest comparable Qt program: one frameless 87 x 37 window shown without activation
// at the floating window's place. Used to put the program's start time, memory and CPU use
// beside Qt's own floor.
//   lumivista-bare-window                      the window alone
//   lumivista-bare-window --movies A.gif ...   a row of plain QMovie labels playing the files,
//                                              the floor for animations on display
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QWidget>

#include <cstdio>

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
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--movies")) {
        auto* row = new QHBoxLayout(&window);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        for (const QString& file : arguments.mid(1)) {
            auto* movie = new QMovie(file, QByteArray(), &window);
            if (!movie->isValid()) {
                std::fprintf(stderr, "not a movie: %s\n", qPrintable(file));
                return 2;
            }
            auto* label = new QLabel(&window);
            label->setMovie(movie);
            row->addWidget(label);
            movie->start();
        }
        // Away from the program's window, so neither covers the other's paints.
        window.move(100, 100);
    } else {
        window.setGeometry(1344, 900, 87, 37);
    }
    window.show();
    return app.exec();
}
