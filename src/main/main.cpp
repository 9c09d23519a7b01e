// bastiva-connect: the remote-access client. See usage() for the modes.
#include <QDebug>
#include <QtPlugin>

#include "common/common.h"
#include "common/log.h"
#include "common/settingsfile.h"
#include "main/startup.h"

// The built-in plugins, in discovery order: login first.
Q_IMPORT_PLUGIN(LoginPlugin)
Q_IMPORT_PLUGIN(ConfigPlugin)

int main(int argc, char** argv)
{
    using namespace ORVO;
    // Whatever reaches the terminal is escaped, as the log is.
    log::escapeStandardError();
    // No application object yet: Qt's own debug stream, not the log.
    qDebug() << "Starting" << ORVO::versionInfo() << " rev: " << ORVO::revision();

    // Before any settings store reads a file that may not be one.
    QString settingsProblem;
    utils::settingsGuardFiles(org(), QLatin1String(ApplicationId), settingsProblem);

    switch (modeFromArgs(argc, argv)) {
    case StartMode::Help:
        usage(argc, argv);
        return 0;
    case StartMode::FullGui:
        return runClient(argc, argv, true, false, settingsProblem);
    case StartMode::MinimalGui:
        return runClient(argc, argv, true, true, settingsProblem);
    case StartMode::CommandLine:
        return runClient(argc, argv, false, false, settingsProblem);
    default:
        break;
    }
    const bool minimal = modeFromSetting(readSystemMode()) == StartMode::MinimalGui;
    return runClient(argc, argv, true, minimal, settingsProblem);
}
