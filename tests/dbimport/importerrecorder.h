#pragma once

#include "schemaimporter.h"
#include "testsupport.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

// Records every report of one importer in the order it came, as "progress:<text>",
// "failed:<message>" or "finished:<dialect>", and keeps the last finished documents.
class ImporterRecorder
{
public:
    explicit ImporterRecorder(SchemaImporter *importer)
    {
        QObject::connect(importer, &SchemaImporter::progressMessage, importer,
                         [this](const QString &text) { record(QLatin1String("progress:") + text); });
        QObject::connect(importer, &SchemaImporter::failed, importer,
                         [this](const QString &message) { record(QLatin1String("failed:") + message); });
        QObject::connect(importer, &SchemaImporter::finished, importer,
                         [this](const QJsonObject &erJson, const QJsonObject &fullSchema) {
                             this->erJson = erJson;
                             this->fullSchema = fullSchema;
                             record(QLatin1String("finished:") + erJson.value(QLatin1String("dialect")).toString());
                         });
    }

    // A finish report (success or a failure that ends the run) has come.
    bool ended() const
    {
        for (const QString &event : events) {
            if (event.startsWith(QLatin1String("finished:"))
                || (event.startsWith(QLatin1String("failed:")) && event != QLatin1String("failed:Python process crashed.")
                    && !event.startsWith(QLatin1String("failed:Process error:"))))
                return true;
        }
        return false;
    }

    // Waits for the finish report, then a little longer for anything that should not come.
    // A plain event loop: polling with pauses would throttle a script's output to one
    // pipe's worth per pause.
    bool waitForEnd(int timeoutMs = 30000)
    {
        if (!ended()) {
            QEventLoop loop;
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            m_onReport = [&] {
                if (ended())
                    loop.quit();
            };
            loop.exec();
            m_onReport = nullptr;
        }
        QTest::qWait(50);
        return ended();
    }

    QStringList events;
    QJsonObject erJson;
    QJsonObject fullSchema;

private:
    void record(const QString &event)
    {
        events.append(event);
        if (m_onReport)
            m_onReport();
    }

    std::function<void()> m_onReport;
};

namespace importertest {

// Debian's interpreter, not whatever "python3" the search path finds first.
inline const QString python = QStringLiteral("/usr/bin/python3");

inline QString script(const QString &name)
{
    return testsupport::dataPath(QStringLiteral("dbimport/scripts/") + name);
}

} // namespace importertest
