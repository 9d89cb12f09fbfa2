#include "imageaccuracy.h"

#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "recognitionsteps.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace imageaccuracy {

namespace {

struct TruthRow
{
    QString name;
    bool primaryKey = false;
    bool foreignKey = false;
};

struct TruthEntity
{
    QString title;
    QRectF rect;
    QList<TruthRow> rows;
};

struct TruthLink
{
    int from = -1;
    int to = -1;
    int startCard = 0;
    int endCard = 0;
};

double share(int part, int whole)
{
    return whole == 0 ? 100.0 : 100.0 * part / whole;
}

bool readTruth(const QString &path, QList<TruthEntity> &entities, QList<TruthLink> &links)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return false;
    for (const QJsonValue &value : document.object().value(QLatin1String("entities")).toArray()) {
        const QJsonObject object = value.toObject();
        const QJsonArray r = object.value(QLatin1String("rect")).toArray();
        TruthEntity entity;
        entity.title = object.value(QLatin1String("title")).toString();
        entity.rect = QRectF(r.at(0).toDouble(), r.at(1).toDouble(), r.at(2).toDouble(), r.at(3).toDouble());
        for (const QJsonValue &row : object.value(QLatin1String("rows")).toArray()) {
            const QJsonObject o = row.toObject();
            entity.rows.append({o.value(QLatin1String("name")).toString(), o.value(QLatin1String("primaryKey")).toBool(),
                                o.value(QLatin1String("foreignKey")).toBool()});
        }
        entities.append(entity);
    }
    for (const QJsonValue &value : document.object().value(QLatin1String("relationships")).toArray()) {
        const QJsonObject o = value.toObject();
        links.append({o.value(QLatin1String("from")).toInt(-1), o.value(QLatin1String("to")).toInt(-1),
                      o.value(QLatin1String("startCard")).toInt(), o.value(QLatin1String("endCard")).toInt()});
    }
    return true;
}

// The rectangles mapped into the unit square by their own bounding box, so that pixels, user
// units and scaling do not matter.
QList<QRectF> normalised(const QList<QRectF> &rects)
{
    QRectF bounds;
    for (const QRectF &r : rects)
        bounds = bounds.isNull() ? r : bounds.united(r);
    QList<QRectF> result;
    for (const QRectF &r : rects) {
        if (bounds.width() <= 0 || bounds.height() <= 0) {
            result.append(QRectF());
            continue;
        }
        result.append(QRectF((r.x() - bounds.x()) / bounds.width(), (r.y() - bounds.y()) / bounds.height(),
                             r.width() / bounds.width(), r.height() / bounds.height()));
    }
    return result;
}

double intersectionOverUnion(const QRectF &a, const QRectF &b)
{
    const QRectF both = a.intersected(b);
    if (both.isEmpty())
        return 0.0;
    const double common = both.width() * both.height();
    return common / (a.width() * a.height() + b.width() * b.height() - common);
}

// truth index -> recognised index, pairing the highest overlap first, each at least 0.5.
QHash<int, int> matchBoxes(const QList<QRectF> &truth, const QList<QRectF> &recognised)
{
    const QList<QRectF> t = normalised(truth);
    const QList<QRectF> r = normalised(recognised);
    QList<std::tuple<double, int, int>> pairs;
    for (int i = 0; i < t.size(); ++i) {
        for (int j = 0; j < r.size(); ++j) {
            const double overlap = intersectionOverUnion(t.at(i), r.at(j));
            if (overlap >= 0.5)
                pairs.append({overlap, i, j});
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto &a, const auto &b) { return std::get<0>(a) > std::get<0>(b); });
    QHash<int, int> match;
    QSet<int> taken;
    for (const auto &[overlap, i, j] : pairs) {
        if (match.contains(i) || taken.contains(j))
            continue;
        match.insert(i, j);
        taken.insert(j);
    }
    return match;
}

int rowNamed(const EntityItem *box, const QString &name)
{
    for (int row = 0; row < box->attributeCount(); ++row) {
        if (box->attributeName(row) == name)
            return row;
    }
    return -1;
}

bool isOne(int card)
{
    return card == 0 || card == 2;
}

bool isMany(int card)
{
    return card == 1 || card == 3;
}

} // namespace

void Figures::add(const Figures &o)
{
    truthEntities += o.truthEntities;
    matchedEntities += o.matchedEntities;
    spuriousBoxes += o.spuriousBoxes;
    titles += o.titles;
    truthRows += o.truthRows;
    rowsFound += o.rowsFound;
    truthKeys += o.truthKeys;
    keysFound += o.keysFound;
    truthLinks += o.truthLinks;
    linksFound += o.linksFound;
    orientable += o.orientable;
    oriented += o.oriented;
    linksMade += o.linksMade;
    wrongLinks += o.wrongLinks;
    endsRead += o.endsRead;
    wrongKeys += o.wrongKeys;
}

double Figures::entities() const { return share(matchedEntities, truthEntities); }
double Figures::titleShare() const { return share(titles, truthEntities); }
double Figures::attributeNames() const { return share(rowsFound, truthRows); }
double Figures::keys() const { return share(keysFound, truthKeys); }
double Figures::links() const { return share(linksFound, truthLinks); }
double Figures::orientedShare() const { return share(oriented, orientable); }
double Figures::endsShare() const { return share(endsRead, linksFound); }

bool scorePicture(const QString &picturePath, const QString &truthPath, Figures *figures, QString *failure)
{
    QList<TruthEntity> truth;
    QList<TruthLink> truthLinks;
    if (!readTruth(truthPath, truth, truthLinks)) {
        *failure = QStringLiteral("cannot read the truth file %1").arg(truthPath);
        return false;
    }
    Figures f;
    f.truthEntities = int(truth.size());
    for (const TruthEntity &entity : truth) {
        f.truthRows += int(entity.rows.size());
        for (const TruthRow &row : entity.rows)
            f.truthKeys += int(row.primaryKey) + int(row.foreignKey);
    }
    for (const TruthLink &link : truthLinks) {
        if (link.from >= 0 && link.to >= 0 && link.from < truth.size() && link.to < truth.size())
            ++f.truthLinks;
    }

    const RecognizedDiagram result = recognizeImageFile(picturePath);
    ERScene scene;
    QList<EntityItem *> boxes;
    if (!result.entities.isEmpty()) {
        const QJsonObject document = buildRecognizedDiagramJson(result);
        if (scene.loadFromJson(document))
            boxes = joinRecognizedLinks(&scene, result, document);
    }
    if (boxes.size() != result.entities.size()) {
        *figures = f;
        return true;
    }

    QList<QRectF> truthRects;
    for (const TruthEntity &entity : truth)
        truthRects.append(entity.rect);
    QList<QRectF> recognisedRects;
    for (const RecognizedEntity &entity : result.entities)
        recognisedRects.append(entity.rect);
    const QHash<int, int> match = matchBoxes(truthRects, recognisedRects);
    f.matchedEntities = int(match.size());
    f.spuriousBoxes = int(result.entities.size() - match.size());

    for (auto it = match.cbegin(); it != match.cend(); ++it) {
        const TruthEntity &expected = truth.at(it.key());
        const RecognizedEntity &recognised = result.entities.at(it.value());
        const EntityItem *box = boxes.at(it.value());
        if (box && box->title() == expected.title)
            ++f.titles;
        QList<bool> used(recognised.attributes.size(), false);
        for (const TruthRow &row : expected.rows) {
            for (qsizetype i = 0; i < recognised.attributes.size(); ++i) {
                if (!used.at(i) && recognised.attributes.at(i).name == row.name) {
                    used[i] = true;
                    ++f.rowsFound;
                    break;
                }
            }
            const int inBox = box ? rowNamed(box, row.name) : -1;
            if (inBox < 0)
                continue;
            if (row.primaryKey && box->isAttributePrimaryKey(inBox))
                ++f.keysFound;
            if (row.foreignKey && box->isAttributeForeignKey(inBox))
                ++f.keysFound;
            if ((!row.primaryKey && box->isAttributePrimaryKey(inBox))
                || (!row.foreignKey && box->isAttributeForeignKey(inBox)))
                ++f.wrongKeys;
        }
    }

    QHash<const EntityItem *, int> truthOfBox;
    for (auto it = match.cbegin(); it != match.cend(); ++it)
        truthOfBox.insert(boxes.at(it.value()), it.key());
    QSet<QPair<int, int>> related;
    for (const TruthLink &link : truthLinks)
        related.insert({std::min(link.from, link.to), std::max(link.from, link.to)});
    // (from, to) of every edge, with its start and end cardinality
    QHash<QPair<const EntityItem *, const EntityItem *>, QPair<int, int>> edges;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() != DiagramItemType::EdgeItem)
            continue;
        const auto *edge = static_cast<const EdgeItem *>(item);
        edges.insert({edge->from, edge->to}, {edge->startCard, edge->endCard});
        if (!edge->from || !edge->to)
            continue;
        ++f.linksMade;
        const int from = truthOfBox.value(edge->from, -1);
        const int to = truthOfBox.value(edge->to, -1);
        if (from < 0 || to < 0 || !related.contains({std::min(from, to), std::max(from, to)}))
            ++f.wrongLinks;
    }
    for (const TruthLink &link : truthLinks) {
        if (!match.contains(link.from) || !match.contains(link.to))
            continue;
        const EntityItem *from = boxes.at(match.value(link.from));
        const EntityItem *to = boxes.at(match.value(link.to));
        const bool forward = edges.contains({from, to});
        const bool backward = edges.contains({to, from});
        if (!forward && !backward)
            continue;
        ++f.linksFound;
        const QPair<int, int> cards = forward ? edges.value({from, to}) : edges.value({to, from});
        const QPair<int, int> drawn = forward ? QPair<int, int>(link.startCard, link.endCard)
                                              : QPair<int, int>(link.endCard, link.startCard);
        // A box's relationship with itself may be read either way round.
        if (cards == drawn || (link.from == link.to && cards == QPair<int, int>(drawn.second, drawn.first)))
            ++f.endsRead;
        if (link.from == link.to)
            continue;
        if (isOne(link.startCard) && isMany(link.endCard)) {
            ++f.orientable;
            f.oriented += forward ? 1 : 0;
        } else if (isMany(link.startCard) && isOne(link.endCard)) {
            ++f.orientable;
            f.oriented += backward ? 1 : 0;
        }
    }
    *figures = f;
    return true;
}

QString describe(const Figures &f)
{
    const auto figure = [](const char *name, double value, int part, int whole) {
        return QStringLiteral("%1 %2% (%3/%4)").arg(QLatin1String(name)).arg(value, 0, 'f', 1).arg(part).arg(whole);
    };
    return QStringList{figure("entities", f.entities(), f.matchedEntities, f.truthEntities)
                           + QStringLiteral(" +%1 spurious").arg(f.spuriousBoxes),
                       figure("titles", f.titleShare(), f.titles, f.truthEntities),
                       figure("attribute names", f.attributeNames(), f.rowsFound, f.truthRows),
                       figure("keys", f.keys(), f.keysFound, f.truthKeys),
                       figure("links", f.links(), f.linksFound, f.truthLinks),
                       figure("oriented", f.orientedShare(), f.oriented, f.orientable),
                       figure("ends", f.endsShare(), f.endsRead, f.linksFound),
                       QStringLiteral("wrong links %1 of %2").arg(f.wrongLinks).arg(f.linksMade),
                       QStringLiteral("wrong keys %1").arg(f.wrongKeys)}
        .join(QLatin1String(", "));
}

} // namespace imageaccuracy
