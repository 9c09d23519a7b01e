// The baseline of bench_guistart: a Qt Widgets program linked with QtWebKit
// that shows a window of the main window's size (578 x 660) holding a web
// view, and runs until it is ended.
#include <QApplication>
#include <QVBoxLayout>
#include <QWebView>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QWebView());
    window.setFixedSize(578, 660);
    window.setWindowTitle(QStringLiteral("bare"));
    window.show();
    return app.exec();
}
