#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <QStringList>

class ModelItem;

// Runs the schema inspector script as a child process and turns the JSON it prints into
// a diagram document. Everything arrives through the signals, on the GUI thread.
class SchemaImporter : public QObject
{
    Q_OBJECT

public:
    explicit SchemaImporter(QObject *parent = nullptr);
    // Stops a running script without reporting anything: the owner is going away.
    ~SchemaImporter() override;

    // Runs python with the script path followed by args; any earlier run is cancelled
    // first. Returns at once. A "--password" option among args never reaches the command
    // line, which every local user can read while the script runs: its value goes to the
    // script in the environment variable passwordVariable instead.
    void start(const QString &python, const QString &script, const QStringList &args);

    static constexpr QLatin1StringView passwordVariable{"VELMORA_DB_PASSWORD"};

    // The diagram document of an inspector's output object: one entity per table on a
    // grid in name order, key flags on the rows, one edge per foreign key (one-to-one when
    // its columns hold a whole key of their table). Tables of other schemas that foreign
    // keys refer to are titled with their schema (hr.employees). A column the database
    // declares NOT NULL carries "nullable": false.
    static QJsonObject buildDiagramJson(const QJsonObject &schema);

    // Marks the model's columns that the document's rows say are NOT NULL: the model made
    // from a diagram knows only the keys' columns to be so. The tables are those whose ids
    // are the document's entity ids.
    static void applyColumnNullability(const QJsonObject &erJson, ModelItem *model);

    // Standard output beyond this many bytes is refused and the script stopped.
    static constexpr qint64 maxOutputBytes = qint64(256) * 1024 * 1024;

public slots:
    // Kills a running script (waiting at most 3 s) and forgets it. A script it stops is
    // reported once, as cancelled, through the signals before this returns.
    void cancel();

signals:
    void finished(const QJsonObject &erJson, const QJsonObject &fullSchema);
    void failed(const QString &errorMessage);
    void progressMessage(const QString &text);

private slots:
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void onProcessError(QProcess::ProcessError error);
    void onStderrReady();
    void onStdoutReady();

private:
    QString takeStderr();
    void silenceProcess();
    void killAndWait();
    void dropProcess();

    QPointer<QProcess> m_process;
    // The last progress text of the run: the script's reason when it fails, which the
    // progress display showed only for a moment.
    QString m_lastProgress;
    bool m_cancelling = false;
    // Standard error arrives in pieces that may split a character.
    QStringDecoder m_stderrDecoder;
};
