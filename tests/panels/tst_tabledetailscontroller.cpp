#include "tabledetailscontroller.h"

#include "entityitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QSignalSpy>
#include <QTest>

// What the window hands the panel is held weakly: a deleted object stops being shown.
class TestTableDetailsController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsWhatItIsGiven()
    {
        TableDetailsController panel(nullptr, nullptr);
        QVERIFY(!panel.isRefreshing());
        ProjectItem project;
        ModelItem *model = project.addModel();
        TableItem *table = model->addTable();
        ViewItem *view = model->addView();
        panel.setProject(&project);
        panel.setDefaultDialect(QStringLiteral("SQLite"));
        panel.setEntityLookup([](const QString &) { return nullptr; });
        QCOMPARE(panel.project(), &project);
        QCOMPARE(panel.defaultDialect(), QStringLiteral("SQLite"));
        QVERIFY(bool(panel.entityLookup()));

        panel.setTable(model, table, nullptr);
        QCOMPARE(panel.model(), model);
        QCOMPARE(panel.table(), table);
        QCOMPARE(panel.view(), nullptr);

        panel.setView(model, view, nullptr);
        QCOMPARE(panel.table(), nullptr);
        QCOMPARE(panel.view(), view);

        delete view;
        QCOMPARE(panel.view(), nullptr);

        panel.clear();
        QCOMPARE(panel.model(), nullptr);
        QCOMPARE(panel.project(), &project);
    }

    void signalsInDeclaredOrder()
    {
        const QMetaObject &meta = TableDetailsController::staticMetaObject;
        QStringList signalNames;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            if (meta.method(i).methodType() == QMetaMethod::Signal)
                signalNames << QString::fromLatin1(meta.method(i).methodSignature());
        }
        QCOMPARE(signalNames, (QStringList{"objectRenameRequested(QString,QString,QString)", "mappingsChanged()",
                                           "relationshipConstraintRemoved(QString)", "columnRemoved(QString)",
                                           "columnRemovalRequested(QString)", "columnPresentationChanged()"}));
    }
};

QTEST_MAIN(TestTableDetailsController)
#include "tst_tabledetailscontroller.moc"
