// Metadata model workloads.
#include "bench.h"
#include "largeproject.h"

#include "jsontext.h"
#include "modelitem.h"
#include "projectitem.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Median of three timed runs of step; reset runs untimed before each, so that tearing
// down the previous result is not counted as part of the step.
double medianWithReset(const std::function<void()> &reset, const std::function<void()> &step)
{
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        reset();
        times.push_back(bench::medianMs(step, 1));
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

VELMORA_BENCH("B1", "project round trip: 2,000 tables x 30 columns, 20 stored diagrams", [] {
    ProjectItem project;
    bench::buildLargeProject(project);

    QJsonObject document;
    const double toDocumentMs = medianWithReset([&] { document = QJsonObject(); },
                                                [&] { document = project.toDocument(); });
    bench::reportMs(u"ProjectItem::toDocument"_s, toDocumentMs);

    // Qt's own writer, kept as the figure the project's writer is measured against.
    QByteArray reference;
    bench::reportMs(u"QJsonDocument::toJson(Indented)"_s,
                    medianWithReset([&] { reference.clear(); },
                                    [&] { reference = QJsonDocument(document).toJson(QJsonDocument::Indented); }));

    QByteArray text;
    const double writeMs = medianWithReset([&] { text.clear(); },
                                           [&] { text = indentedJsonText(document); });
    bench::reportMs(u"indentedJsonText"_s, writeMs);
    bench::report(u"same text as Qt"_s, text == reference ? u"identical"_s : u"DIFFERENT"_s);
    reference.clear();
    bench::report(u"file size"_s, u"%1 bytes (%2 MiB)"_s.arg(text.size()).arg(text.size() / 1048576.0, 0, 'f', 1));
    constexpr double writeTargetMs = 1000.0;
    const double writingMs = toDocumentMs + writeMs;
    bench::report(u"writing (toDocument + text)"_s,
                  u"%1 ms, target %2 ms: %3"_s.arg(writingMs, 0, 'f', 2).arg(writeTargetMs, 0, 'f', 0)
                      .arg(writingMs < writeTargetMs ? u"met"_s : u"MISSED"_s));

    QJsonObject parsed;
    bench::reportMs(u"QJsonDocument::fromJson"_s,
                    medianWithReset([&] { parsed = QJsonObject(); },
                                    [&] { parsed = QJsonDocument::fromJson(text).object(); }));

    // Each run loads into a fresh project; tearing the projects down is not timed.
    std::vector<std::unique_ptr<ProjectItem>> loaded;
    bool ok = true;
    bench::reportMs(u"ProjectItem::loadProjectDocument"_s, bench::medianMs([&] {
        loaded.push_back(std::make_unique<ProjectItem>());
        ok = loaded.back()->loadProjectDocument(parsed) && ok;
    }));
    if (!ok)
        bench::report(u"load result"_s, u"FAILED"_s);

    const ModelItem *model = loaded.back()->models().value(0);
    qsizetype listed = 0;
    bench::reportMs(u"ModelItem::tables() x100"_s, bench::medianMs([&] {
        for (int i = 0; i < 100; ++i)
            listed += model->tables().size();
    }));

    const QByteArray again = indentedJsonText(loaded.back()->toDocument());
    bench::report(u"second write"_s, again == text ? u"identical"_s : u"DIFFERENT"_s);
    bench::report(u"peak RSS"_s, u"%1 MiB"_s.arg(bench::peakRssMiB(), 0, 'f', 1));
});
