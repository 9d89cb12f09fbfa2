#include "erscene.h"

ERScene::ERScene(QObject *parent)
    : QGraphicsScene(parent)
{
}
