#pragma once

#include <QGraphicsScene>
#include <QString>

// The diagram's scene. Items reach it through qobject_cast to read the dialect
// and to ask the window for the style dialogs.
class ERScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit ERScene(QObject *parent = nullptr);

    // Written directly by the main window when the user picks a dialect.
    QString dialect = QStringLiteral("Conceptual ER");

signals:
    void textStyleDialogRequested();
    void groupStyleDialogRequested();
};
