#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

// One run of tessaro-cli (built beside the test) and what it left: exit status, standard output
// and standard error. A run that does not end within a minute has status -1.
struct CliRun {
    int status = -1;
    QByteArray out;
    QByteArray err;

    static CliRun of(const QStringList& args)
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"), args);
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }
};
