#include "columnitem.h"
#include "constraintitem.h"
#include "indexitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "modelreferences.h"
#include "projectitem.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QTest>

using namespace Qt::StringLiterals;

// References to columns across a project, look-ups of tables and views by id, and
// column types typed as text.
class tst_ModelReferences : public QObject
{
    Q_OBJECT

private slots:
    void forgottenColumnLeavesNoReference();
    void tableFoundInPreferredModelFirst();
    void typeTextSetsOrClearsSizes_data();
    void typeTextSetsOrClearsSizes();
};

void tst_ModelReferences::forgottenColumnLeavesNoReference()
{
    ProjectItem project;
    ModelItem *first = project.addModel();
    first->setName(u"A"_s);
    ModelItem *second = project.addModel();
    second->setName(u"B"_s);
    const QString gone = u"c-gone"_s;

    TableItem *orders = first->addTable();
    ConstraintItem *pk = orders->addConstraint();
    pk->setColumns({gone, u"keep"_s, gone});
    IndexItem *index = orders->addIndex();
    index->setColumns({gone});
    TableItem *lines = second->addTable();
    ConstraintItem *fk = lines->addConstraint();
    fk->setType(ConstraintType::ForeignKey);
    fk->setColumns({u"own"_s});
    fk->setReferencedColumns({gone, u"other"_s});

    MappingItem *projectMapping = project.addMapping();
    projectMapping->setSourceColumnId(gone);
    projectMapping->setTargetColumnId(u"t"_s);
    MappingItem *modelMapping = second->addMapping();
    modelMapping->setSourceColumnId(u"s"_s);
    modelMapping->setTargetColumnId(gone);

    forgetColumnReferences(&project, QString());
    QCOMPARE(index->columns(), QStringList{gone});
    forgetColumnReferences(&project, gone);

    QCOMPARE(pk->columns(), QStringList{u"keep"_s});
    QCOMPARE(index->columns(), QStringList{});
    QCOMPARE(orders->indexes().size(), 1);
    QCOMPARE(fk->columns(), QStringList{u"own"_s});
    QCOMPARE(fk->referencedColumns(), QStringList{u"other"_s});
    QCOMPARE(projectMapping->sourceColumnId(), QString());
    QCOMPARE(projectMapping->targetColumnId(), u"t"_s);
    QCOMPARE(modelMapping->sourceColumnId(), u"s"_s);
    QCOMPARE(modelMapping->targetColumnId(), QString());
}

void tst_ModelReferences::tableFoundInPreferredModelFirst()
{
    ProjectItem project;
    ModelItem *alpha = project.addModel();
    alpha->setName(u"alpha"_s);
    ModelItem *beta = project.addModel();
    beta->setName(u"beta"_s);
    TableItem *inAlpha = alpha->ensureTable(u"t"_s);
    TableItem *inBeta = beta->ensureTable(u"t"_s);
    ViewItem *view = beta->ensureView(u"v"_s);

    ModelItem *owner = nullptr;
    QCOMPARE(findTableInProject(&project, beta, u"t"_s, &owner), inBeta);
    QCOMPARE(owner, beta);
    QCOMPARE(findTableInProject(&project, nullptr, u"t"_s, &owner), inAlpha);
    QCOMPARE(owner, alpha);
    QCOMPARE(findViewInProject(&project, alpha, u"v"_s, &owner), view);
    QCOMPARE(owner, beta);
    QCOMPARE(findTableInProject(&project, alpha, u"v"_s, &owner), nullptr);
    QCOMPARE(owner, nullptr);
    owner = alpha;
    QCOMPARE(findTableInProject(nullptr, alpha, u"t"_s, &owner), nullptr);
    QCOMPARE(owner, nullptr);
    QCOMPARE(findTableInProject(&project, alpha, QString()), nullptr);
}

void tst_ModelReferences::typeTextSetsOrClearsSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::newRow("no parameters clear the sizes") << "varchar" << "varchar" << -1 << -1 << -1;
    QTest::newRow("numeric parameters") << "DECIMAL(10,2)" << "DECIMAL" << -1 << 10 << 2;
    QTest::newRow("length") << "varchar(40)" << "varchar" << 40 << -1 << -1;
}

void tst_ModelReferences::typeTextSetsOrClearsSizes()
{
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);
    ColumnItem column;
    column.setLength(7);
    column.setPrecision(8);
    column.setScale(9);
    setColumnTypeFromText(&column, text);
    setColumnTypeFromText(nullptr, text);
    QCOMPARE(column.dataType(), type);
    QCOMPARE(column.length(), length);
    QCOMPARE(column.precision(), precision);
    QCOMPARE(column.scale(), scale);
}

QTEST_GUILESS_MAIN(tst_ModelReferences)
#include "tst_modelreferences.moc"
