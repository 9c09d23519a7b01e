#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class MainWindow;

// What the portal pages' scripts see of the main window, as
// "MainWindowCallback": the two operations the pages use and nothing else.
// The window itself is never handed to a script, since a script reaches
// every public slot of the object it is given (close, hide, setStyleSheet,
// deleteLater…). One object per frame, a child of it: what the frame's
// documents have the window log counts against the frame's page. A script
// can still delete this object (deleteLater is a slot of every QObject);
// the window then makes a new one for the frame's next document.
class MainWindowCallback : public QObject
{
    Q_OBJECT
public:
    MainWindowCallback(MainWindow* window, QObject* frame);

    Q_INVOKABLE void backToLogin();
    Q_INVOKABLE void saveDebugEndpoint(QString endpoint);

private:
    QPointer<MainWindow> window;
};
