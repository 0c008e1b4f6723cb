#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

/// The application shell's diagnostics.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

/// The optional log file: started with -d, every message becomes one
/// time-stamped line in logs/MM-dd__hh-mm.log under the working directory,
/// and on standard error. The line carries no category: its format is fixed.
namespace logging {

/// The file name for a start at @p when: "MM-dd__hh-mm.log".
QString logFileName(const QDateTime& when);

/// One line: "hh.mm.ss.zzz <Level>: <text>".
QString formatLine(QtMsgType type, const QTime& time, const QString& text);

/// Creates the logs folder, opens the dated file for appending and, only if
/// that worked, installs the handler. Returns whether the handler is installed.
bool setUp();

/// Closes and drops the log file; the handler then writes to stderr only.
void tearDown();

/// The message handler the set-up installs.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

} // namespace logging
