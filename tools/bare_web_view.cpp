// The web page viewer's yardstick: a bare QWebEngineView in a window of the viewer's size,
// off the record as the viewer's profile is, showing one page. Once the page has loaded, the
// window takes the page's title, so a benchmark can wait for it as for the viewer's.
//   lumivista-bare-web-view [URL]   (default about:blank)
#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>

int main(int argc, char* argv[]) {
    // What any QtWebEngine program must do, and the viewer does: no sandbox for root (Chromium
    // refuses it), the shared OpenGL context before the application object.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();

    QWebEngineProfile profile;
    QWebEngineView view;
    view.setPage(new QWebEnginePage(&profile, &view));
    QObject::connect(&view, &QWebEngineView::loadFinished, &view,
                     [&view] { view.setWindowTitle(view.title()); });
    view.resize(436, 342);
    view.load(QUrl::fromUserInput(arguments.value(1, QStringLiteral("about:blank"))));
    view.show();
    return app.exec();
}
