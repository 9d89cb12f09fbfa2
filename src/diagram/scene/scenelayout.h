#pragma once

#include "layoutquality.h"

#include <QList>
#include <QString>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

// Measurements around the automatic layout of a scene, for the bench and the developer
// tools. Nothing in the application depends on them.
namespace scenelayout {

struct StageTime
{
    QString stage;
    double ms = 0;
};

// Wall time of each stage of the most recent ERScene::autoLayout that ran to the end;
// empty before the first.
QList<StageTime> lastStageTimes();

// The layout turns the event loop in its long passes once ms milliseconds of work have
// passed since the last turn (20 unless set); 0 turns at every step, for tests.
void setEventTurnInterval(int ms);

// The quality figures of the scene as it stands: its entity boxes (drawn rectangles) and
// the routes of its edges.
layout::LayoutQuality measureScene(const QGraphicsScene *scene);

} // namespace scenelayout
