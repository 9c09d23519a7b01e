// Leaks on purpose inside a callback that the web engine makes, to show
// that the sanitized run's leak check still sees such a leak: a
// suppression that named the engine's library anywhere in the stack would
// hide it, as every leak of ours made beneath the engine's frames.
#include <QApplication>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>

#include <cstdio>

namespace {

class LeakingPage : public QWebPage
{
protected:
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 NavigationType type) override
    {
        // An odd size that the test looks for in the report.
        leaked = new char[7773];
        leaked[0] = 1;
        leaked = nullptr;
        std::fputs("navigation request seen\n", stderr);
        return QWebPage::acceptNavigationRequest(frame, request, type);
    }

private:
    char* volatile leaked = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LeakingPage page;
    QObject::connect(&page, &QWebPage::loadFinished, &app, &QCoreApplication::quit);
    QTimer::singleShot(30000, &app, &QCoreApplication::quit);
    page.mainFrame()->load(QUrl(QStringLiteral("data:text/html,<p>leak</p>")));
    return app.exec();
}
