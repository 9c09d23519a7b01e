#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class MainWindow;

// What the portal pages' scripts see of the main window, as
// "MainWindowCallback": the two operations the pages use and nothing else.
// The window itself is never handed to a script, since a script reaches
// every public slot of the object it is given (close, hide, setStyleSheet,
// deleteLater…). A script can still delete this object (deleteLater is a
// slot of every QObject); the window then makes a new one for the next
// page load.
class MainWindowCallback : public QObject
{
    Q_OBJECT
public:
    explicit MainWindowCallback(MainWindow* window);

    Q_INVOKABLE void backToLogin();
    Q_INVOKABLE void saveDebugEndpoint(QString endpoint);

private:
    QPointer<MainWindow> window;
};
