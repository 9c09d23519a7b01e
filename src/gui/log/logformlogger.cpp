#include "gui/log/logformlogger.h"

#include <QThread>

#include "common/log.h"
#include "gui/log/logform.h"
#include "gui/log/logtable.h"
#include "libvelcor/logger.h"

std::atomic<LogFormLogger*> LogFormLogger::m_instance{nullptr};
QList<QPointer<LogForm>> LogFormLogger::m_logForms;
QtMessageHandler LogFormLogger::m_defaultMsgHandler = nullptr;

LogFormLogger* LogFormLogger::instance()
{
    if (!m_instance.load())
        new LogFormLogger();
    return m_instance.load();
}

LogFormLogger::LogFormLogger() : QObject(nullptr)
{
    LOG_TRACE;
    // Known before the handler runs: lines of other threads are told apart
    // by this object's thread.
    m_instance.store(this);
    m_defaultMsgHandler = qInstallMessageHandler(myMsgHandler);
}

LogFormLogger::~LogFormLogger()
{
    LOG_TRACE;
    qInstallMessageHandler(m_defaultMsgHandler);
    m_instance.store(nullptr);
}

void LogFormLogger::addTarget(LogForm* form)
{
    LOG_TRACE << "Appending logform: " << form;
    m_logForms.append(QPointer<LogForm>(form));
}

void LogFormLogger::removeTarget(LogForm* form)
{
    LOG_DEBUG << "Removing logform: " << form;
    m_logForms.removeAll(QPointer<LogForm>(form));
    // Entries of pages destroyed meanwhile go as well.
    m_logForms.removeAll(QPointer<LogForm>());
}

void LogFormLogger::close()
{
    LOG_TRACE;
    m_logForms.clear();
}

void LogFormLogger::myMsgHandler(QtMsgType type, const QMessageLogContext& context,
                                 const QString& msg)
{
    // Escaped here when it was not yet (a message of Qt's or of the web
    // engine's), and handed on as it is shown.
    const QString text = msg.isNull() ? QString() : libvelcor::handledLine(type, context, msg);
    if (text.isNull())
        return;
    LogFormLogger* self = m_instance.load();
    if (self && QThread::currentThread() != self->thread()) {
        // The pages are widgets of the GUI thread: the line travels there.
        libvelcor::passEscapedLine(m_defaultMsgHandler, type, context, text);
        QMetaObject::invokeMethod(
            self, [type, text]() { deliver(type, text); }, Qt::QueuedConnection);
        return;
    }
    // Qt does not call this handler again while it runs: a line logged
    // meanwhile (the table's note on its bound, say) is held and gets a
    // delivery of its own after this one.
    ORVO::log::HeldLines held;
    deliver(type, text);
    libvelcor::passEscapedLine(m_defaultMsgHandler, type, context, text);
    QString next;
    while (held.take(&next)) {
        deliver(QtDebugMsg, next);
        libvelcor::passEscapedLine(m_defaultMsgHandler, QtDebugMsg, QMessageLogContext(), next);
    }
}

void LogFormLogger::deliver(QtMsgType type, const QString& text)
{
    Q_UNUSED(type);
    if (m_logForms.isEmpty())
        return;
    // Over a copy: pages registered or removed meanwhile count from the
    // next line on, and a line logged while this one is delivered runs a
    // delivery of its own.
    const QList<QPointer<LogForm>> forms = m_logForms;
    bool parsed = false;
    LogElem elem;
    for (const QPointer<LogForm>& form : forms) {
        if (!form)
            continue;
        if (!form->logEnabled() && !text.contains(QLatin1String("[Log]")))
            continue;
        // One parse serves every page; each applies its own verbosity.
        if (!parsed) {
            elem = LogTable::logParse(text, ORVO::VerbosityHigh);
            parsed = true;
        }
        if (form)
            form->table()->appendElem(elem, form->verbosity);
    }
}
