#include "schemaimporter.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QScopedValueRollback>

Q_LOGGING_CATEGORY(lcSchemaImport, "velmora.dbimport", QtWarningMsg)

namespace {

constexpr int killWaitMs = 3000;

} // namespace

SchemaImporter::SchemaImporter(QObject *parent)
    : QObject(parent)
{
}

SchemaImporter::~SchemaImporter()
{
    // Reports from here would reach an owner that is being destroyed.
    if (m_process) {
        silenceProcess();
        killAndWait();
    }
}

void SchemaImporter::start(const QString &python, const QString &script, const QStringList &args)
{
    cancel();
    m_stderrDecoder = QStringDecoder(QStringDecoder::Utf8);
    m_lastProgress.clear();
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList arguments{script};
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--password") && i + 1 < args.size()) {
            const QString password = args.at(++i);
            // An empty one is no password: the script falls back as it always has.
            if (!password.isEmpty())
                environment.insert(passwordVariable, password);
            continue;
        }
        arguments.append(args.at(i));
    }
    m_process->setProcessEnvironment(environment);
    connect(m_process, &QProcess::finished, this, &SchemaImporter::onProcessFinished);
    connect(m_process, &QProcess::errorOccurred, this, &SchemaImporter::onProcessError);
    connect(m_process, &QProcess::readyReadStandardError, this, &SchemaImporter::onStderrReady);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &SchemaImporter::onStdoutReady);

    m_process->start(python, arguments, QIODevice::ReadWrite);
    // Nothing is ever written to the script: a script or library that reads its input
    // gets end of file instead of waiting for ever.
    if (m_process)
        m_process->closeWriteChannel();
}

void SchemaImporter::cancel()
{
    if (!m_process)
        return;
    const QPointer<QProcess> process = m_process;
    // Still connected: the report of the kill goes out before this returns.
    {
        const QScopedValueRollback<bool> cancelling(m_cancelling, true);
        killAndWait();
    }
    // A receiver of those reports may have cancelled or started anew meanwhile.
    if (m_process == process)
        dropProcess();
}

void SchemaImporter::onStderrReady()
{
    if (!m_process)
        return;
    const QString text = takeStderr();
    if (!text.isEmpty()) {
        qCDebug(lcSchemaImport).noquote() << text;
        m_lastProgress = text;
    }
    emit progressMessage(text);
}

void SchemaImporter::onStdoutReady()
{
    // The output is read once, at the end; only its size is watched on the way.
    if (!m_process || m_process->bytesAvailable() <= maxOutputBytes)
        return;
    silenceProcess();
    killAndWait();
    dropProcess();
    emit failed(tr("Invalid JSON from Python: the output is larger than 256 MiB."));
}

void SchemaImporter::onProcessError(QProcess::ProcessError error)
{
    switch (error) {
    case QProcess::FailedToStart:
        emit failed(tr("Failed to start Python. Check that the Python executable path is correct."));
        break;
    case QProcess::Crashed:
        // A kill of ours is the user's cancel, not a crash of the script.
        emit failed(m_cancelling ? tr("The import was cancelled.") : tr("Python process crashed."));
        break;
    default:
        emit failed(tr("Process error: %1").arg(int(error)));
        break;
    }
}

void SchemaImporter::onProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    const QString rest = takeStderr();
    if (!rest.isEmpty()) {
        m_lastProgress = rest;
        emit progressMessage(rest);
        if (!m_process)
            return;
    }
    if (status == QProcess::CrashExit) {
        // A cancel has been reported already, by the kill's error.
        if (!m_cancelling)
            emit failed(tr("Python process terminated unexpectedly."));
        return;
    }
    if (exitCode != 0) {
        // The reason was shown as progress a moment ago, and that display is gone by now.
        emit failed(tr("Python exited with code %1.\n%2").arg(QString::number(exitCode), m_lastProgress));
        return;
    }
    const QByteArray output = m_process->readAllStandardOutput();
    if (output.isEmpty()) {
        emit failed(tr("Python produced no output."));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(output, &parseError);
    if (document.isNull() || !document.isObject()) {
        emit failed(tr("Invalid JSON from Python: %1").arg(parseError.errorString()));
        return;
    }
    const QJsonObject schema = document.object();
    emit finished(buildDiagramJson(schema), schema);
}

QString SchemaImporter::takeStderr()
{
    return QString(m_stderrDecoder.decode(m_process->readAllStandardError())).trimmed();
}

void SchemaImporter::silenceProcess()
{
    disconnect(m_process, nullptr, this, nullptr);
}

void SchemaImporter::killAndWait()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->kill();
    m_process->waitForFinished(killWaitMs);
}

void SchemaImporter::dropProcess()
{
    // Whatever is left of it (a process that outlived the wait) reports to nobody.
    silenceProcess();
    m_process->deleteLater();
    m_process = nullptr;
}
