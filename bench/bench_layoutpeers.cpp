// layout-peers-<shape>: the automatic layout beside the layered drawing tools a modeller
// already knows, graphviz dot and elkjs, run on the same boxes (same sizes) and links and
// measured by the same code. Install the tools with tools/layout_peers/setup.sh; a tool
// that is missing is named and left out. VELMORA_BENCH_PEER_TIMEOUT=<s> caps each tool's
// run (600 s unless set).
#include "bench.h"
#include "layoutbench.h"

#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "routegeometry.h"
#include "scenelayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

struct Peer
{
    QString name;
    QString interpreter; // python3 or node
    QString script;      // under tools/layout_peers
    QString missing;     // why it cannot run; empty when it can
};

struct PeerDrawing
{
    QString failure; // empty when the drawing was read
    QString version;
    double ms = 0;
    int curvedLines = 0;
    layout::LayoutQuality quality;
};

QString peersFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../layout_peers");
}

QList<Peer> peers()
{
    const QString setup = QStringLiteral("not installed (bash tools/layout_peers/setup.sh)");
    Peer dot{QStringLiteral("dot"), QStandardPaths::findExecutable(QStringLiteral("python3")),
             QStringLiteral("run_dot.py"), QString()};
    if (dot.interpreter.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("dot")).isEmpty())
        dot.missing = setup;
    Peer elk{QStringLiteral("elkjs"), QStandardPaths::findExecutable(QStringLiteral("node")),
             QStringLiteral("run_elk.js"), QString()};
    if (elk.interpreter.isEmpty() || !QFile::exists(peersFolder() + QStringLiteral("/node_modules/elkjs/package.json")))
        elk.missing = setup;
    return {dot, elk};
}

int peerTimeoutSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("VELMORA_BENCH_PEER_TIMEOUT", &ok);
    return ok && seconds > 0 ? seconds : 600;
}

// The boxes' drawn sizes and one link per edge, as the peers read them: nodes n<i>, edges e<k>.
QJsonObject plainGraph(const diagramgenerator::Diagram &diagram, QList<QSizeF> &sizes)
{
    QHash<const EntityItem *, int> indexOf;
    QJsonArray nodes;
    for (EntityItem *box : diagram.boxes) {
        indexOf.insert(box, int(sizes.size()));
        nodes.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("n%1").arg(sizes.size())},
                                 {QStringLiteral("width"), box->rect.width()},
                                 {QStringLiteral("height"), box->rect.height()}});
        sizes.append(box->rect.size());
    }
    QJsonArray edges;
    for (qsizetype k = 0; k < diagram.edges.size(); ++k) {
        const EdgeItem *edge = diagram.edges.at(k);
        edges.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("e%1").arg(k)},
                                 {QStringLiteral("source"), QStringLiteral("n%1").arg(indexOf.value(edge->from))},
                                 {QStringLiteral("target"), QStringLiteral("n%1").arg(indexOf.value(edge->to))}});
    }
    return {{QStringLiteral("nodes"), nodes}, {QStringLiteral("edges"), edges}};
}

// Drops repeated points and the joints of straight runs, so a peer's line has the segments
// and bends it is drawn with, whatever points it came as.
routing::Route cleanLine(const QJsonArray &points)
{
    routing::Route line;
    for (const QJsonValue &value : points) {
        const QJsonArray xy = value.toArray();
        const QPointF p(xy.at(0).toDouble(), xy.at(1).toDouble());
        if (!line.isEmpty() && std::hypot(p.x() - line.last().x(), p.y() - line.last().y()) < 0.5)
            continue;
        if (line.size() >= 2) {
            const QPointF a = line.at(line.size() - 2);
            const QPointF b = line.last();
            const bool straightOn = (std::abs(a.y() - b.y()) < 0.5 && std::abs(b.y() - p.y()) < 0.5)
                                    || (std::abs(a.x() - b.x()) < 0.5 && std::abs(b.x() - p.x()) < 0.5);
            if (straightOn)
                line.removeLast();
        }
        line.append(p);
    }
    return line;
}

int indexIn(const QJsonValue &id)
{
    bool ok = false;
    const int index = id.toString().mid(1).toInt(&ok);
    return ok ? index : -1;
}

PeerDrawing failed(const QString &why)
{
    PeerDrawing drawing;
    drawing.failure = why;
    return drawing;
}

PeerDrawing readDrawing(const QJsonObject &result, const QList<QSizeF> &sizes,
                        const diagramgenerator::Diagram &diagram)
{
    PeerDrawing drawing;
    drawing.version = result.value(QStringLiteral("version")).toString();
    drawing.ms = result.value(QStringLiteral("ms")).toDouble();
    QList<QRectF> boxes(sizes.size());
    for (const QJsonValue &value : result.value(QStringLiteral("nodes")).toArray()) {
        const QJsonObject node = value.toObject();
        const int i = indexIn(node.value(QStringLiteral("id")));
        if (i >= 0 && i < sizes.size())
            boxes[i] = QRectF(QPointF(node.value(QStringLiteral("x")).toDouble(),
                                      node.value(QStringLiteral("y")).toDouble()), sizes.at(i));
    }
    QHash<const EntityItem *, int> indexOf;
    for (qsizetype i = 0; i < diagram.boxes.size(); ++i)
        indexOf.insert(diagram.boxes.at(i), int(i));
    QList<layout::QualityEdge> edges(diagram.edges.size());
    for (qsizetype k = 0; k < diagram.edges.size(); ++k) {
        edges[k].fromBox = indexOf.value(diagram.edges.at(k)->from, -1);
        edges[k].toBox = indexOf.value(diagram.edges.at(k)->to, -1);
    }
    for (const QJsonValue &value : result.value(QStringLiteral("edges")).toArray()) {
        const QJsonObject edge = value.toObject();
        const int k = indexIn(edge.value(QStringLiteral("id")));
        if (k < 0 || k >= edges.size())
            continue;
        edges[k].route = cleanLine(edge.value(QStringLiteral("points")).toArray());
        if (!routing::isRectilinearRoute(edges[k].route))
            ++drawing.curvedLines;
    }
    drawing.quality = layout::measureLayout(boxes, edges);
    return drawing;
}

PeerDrawing runPeer(const Peer &peer, const QString &graphPath, const QList<QSizeF> &sizes,
                    const diagramgenerator::Diagram &diagram)
{
    const QString resultPath = QFileInfo(graphPath).dir().filePath(peer.name + QStringLiteral("-result.json"));
    const QString script = QStringLiteral(VELMORA_SOURCE_DIR "/tools/layout_peers/") + peer.script;
    const int timeout = peerTimeoutSeconds();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NODE_PATH"), peersFolder() + QStringLiteral("/node_modules"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(peer.interpreter, {script, graphPath, resultPath, QString::number(timeout)});
    // The script stops its own tool at the time-out; this is the last resort.
    if (!process.waitForFinished((timeout + 60) * 1000)) {
        process.kill();
        process.waitForFinished();
        return failed(QStringLiteral("no drawing within %1 s").arg(timeout));
    }
    QFile file(resultPath);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("failed (exit code %1)").arg(process.exitCode()));
    return readDrawing(QJsonDocument::fromJson(file.readAll()).object(), sizes, diagram);
}

QString column(const QString &text)
{
    return QStringLiteral("%1").arg(text, 16);
}

// velmora's score over the better peer's; "-" when no peer has the figure or the better
// peer scores 0 while velmora does not.
QString ratio(double ours, const QList<std::optional<double>> &theirs)
{
    std::optional<double> best;
    for (const std::optional<double> &score : theirs) {
        if (score && (!best || *score < *best))
            best = score;
    }
    if (!best)
        return QStringLiteral("-");
    if (*best <= 0)
        return ours <= 0 ? QStringLiteral("1.00") : QStringLiteral("-");
    return QString::number(ours / *best, 'f', 2);
}

void runPeers(const layoutbench::Shape &shape)
{
    const layoutbench::Laid laid = layoutbench::layOutShown(shape);
    const layout::LayoutQuality ours = scenelayout::measureScene(laid.scene);
    bench::report(QStringLiteral("tables / relationships"),
                  QStringLiteral("%1 / %2").arg(laid.diagram.boxes.size()).arg(laid.diagram.edges.size()));

    QTemporaryDir folder;
    QList<QSizeF> sizes;
    const QString graphPath = folder.filePath(QStringLiteral("graph.json"));
    QSaveFile graphFile(graphPath);
    if (!folder.isValid() || !graphFile.open(QIODevice::WriteOnly)) {
        bench::report(QStringLiteral("peers"), QStringLiteral("cannot write the graph for the peers"));
        return;
    }
    graphFile.write(QJsonDocument(plainGraph(laid.diagram, sizes)).toJson(QJsonDocument::Compact));
    graphFile.commit();

    const QList<Peer> all = peers();
    QList<std::optional<PeerDrawing>> drawings;
    for (const Peer &peer : all) {
        if (!peer.missing.isEmpty()) {
            bench::report(peer.name, peer.missing);
            drawings.append(std::nullopt);
            continue;
        }
        PeerDrawing drawing = runPeer(peer, graphPath, sizes, laid.diagram);
        if (!drawing.failure.isEmpty()) {
            bench::report(peer.name, drawing.failure);
            drawings.append(std::nullopt);
            continue;
        }
        QString note = drawing.version;
        if (drawing.curvedLines > 0)
            note += QStringLiteral("; %1 lines are curves, measured on their control polylines")
                        .arg(drawing.curvedLines);
        bench::report(peer.name, note);
        drawings.append(drawing);
    }

    QString header = column(QStringLiteral("velmora"));
    for (const Peer &peer : all)
        header += column(peer.name);
    bench::report(QStringLiteral("figure"), header + column(QStringLiteral("velmora/better")));
    for (const layoutbench::Figure &figure : layoutbench::figures()) {
        QString line = column(figure.text(ours));
        QList<std::optional<double>> scores;
        for (const std::optional<PeerDrawing> &drawing : std::as_const(drawings)) {
            line += column(drawing ? figure.text(drawing->quality) : QStringLiteral("-"));
            if (drawing && figure.score)
                scores.append(figure.score(drawing->quality));
        }
        line += column(figure.score ? ratio(figure.score(ours), scores) : QString());
        bench::report(QStringLiteral("  ") + figure.label, line);
    }
    QString times = column(QString::number(laid.ms, 'f', 0));
    QList<std::optional<double>> peerTimes;
    for (const std::optional<PeerDrawing> &drawing : std::as_const(drawings)) {
        times += column(drawing ? QString::number(drawing->ms, 'f', 0) : QStringLiteral("-"));
        if (drawing)
            peerTimes.append(drawing->ms);
    }
    bench::report(QStringLiteral("  layout time, ms (one run)"), times + column(ratio(laid.ms, peerTimes)));
}

} // namespace

// layout-peers-<shape>, one workload per schema; "layout-peers" runs them all.
static const bool layoutPeersRegistered = [] {
    for (const layoutbench::Shape &shape : layoutbench::shapes()) {
        const QString name = QStringLiteral("layout-peers-") + shape.key;
        bench::registerWorkload(qPrintable(name), qPrintable(QStringLiteral("the layout-quality figures of a ")
                                    + shape.description + QStringLiteral(" beside graphviz dot and elkjs")),
                                [shape] { runPeers(shape); });
    }
    return true;
}();
