// The General tab (schema, name, comment and the dialect's physical options) and the
// Governance tab of the table details panel.
#include "tabledetailscontroller.h"

#include "columnitem.h"
#include "dialectcatalog.h"
#include "flagguard.h"
#include "tableitem.h"
#include "viewitem.h"

#include "ui_MainWindow.h"

#include <QSignalBlocker>
#include <QStandardItemModel>

void TableDetailsController::setLineEditQuietly(QLineEdit *edit, const QString &text)
{
    if (!edit || edit->hasFocus() || edit->text() == text)
        return;
    const QSignalBlocker block(edit);
    edit->setText(text);
}

void TableDetailsController::setPlainTextQuietly(QPlainTextEdit *edit, const QString &text)
{
    if (!edit || edit->hasFocus() || edit->toPlainText() == text)
        return;
    const QSignalBlocker block(edit);
    edit->setPlainText(text);
}

void TableDetailsController::populateGeneral()
{
    QString schema;
    QString name;
    QString comment;
    if (m_table) {
        schema = m_table->schema();
        name = m_table->name();
        comment = m_table->comment();
    } else if (m_view) {
        schema = m_view->schema();
        name = m_view->name();
        comment = m_view->comment();
    }
    setLineEditQuietly(m_ui->lineEditSchema, schema);
    setLineEditQuietly(m_ui->lineEditTable, name);
    setPlainTextQuietly(m_ui->plainTextEditTableComments, comment);
}

void TableDetailsController::populateProperties()
{
    m_propertiesModel->clear();
    m_propertiesModel->setHorizontalHeaderLabels({tr("Name"), tr("Value")});
    if (!m_table)
        return;
    for (const TablePhysicalOption &option : dialectPhysicalOptions(effectiveDialect())) {
        QStandardItem *label = makeTextItem(option.second, false);
        label->setData(option.first, IdRole);
        QStandardItem *value = makeTextItem(m_table->property(option.first), true);
        value->setData(option.first, IdRole);
        m_propertiesModel->appendRow({label, value});
    }
}

void TableDetailsController::populateClassification()
{
    m_governanceModel->clear();
    m_governanceModel->setHorizontalHeaderLabels({tr("Column"), tr("Personal"), tr("Sensible"), tr("Classification")});
    if (!m_table)
        return;
    for (ColumnItem *column : m_table->columns()) {
        if (!column)
            continue;
        QStandardItem *name = makeTextItem(column->name(), false);
        name->setData(column->id(), IdRole);
        m_governanceModel->appendRow({name, makeCheckItem(column->isPersonal()), makeCheckItem(column->isSensible()),
                                      makeTextItem(column->classification(), true)});
    }
}

void TableDetailsController::onSchemaEdited()
{
    if (m_busy || !m_ui->lineEditSchema)
        return;
    const QString schema = m_ui->lineEditSchema->text();
    if (m_table) {
        if (schema != m_table->schema()) {
            m_table->setSchema(schema);
            scheduleRefresh();
        }
    } else if (m_view && schema != m_view->schema()) {
        m_view->setSchema(schema);
    }
}

void TableDetailsController::onNameEdited()
{
    if (m_busy || (!m_table && !m_view) || !m_ui->lineEditTable)
        return;
    const QString oldName = m_table ? m_table->name() : m_view->name();
    const QString name = m_ui->lineEditTable->text().trimmed();
    if (name.isEmpty()) {
        setLineEditQuietly(m_ui->lineEditTable, oldName);
        return;
    }
    if (name == oldName)
        return;
    {
        // The window renames it everywhere and may ask the panel back meanwhile.
        const FlagGuard busy(m_busy);
        if (m_table)
            emit objectRenameRequested(QStringLiteral("table"), m_table->id(), name);
        else
            emit objectRenameRequested(QStringLiteral("view"), m_view->id(), name);
    }
    scheduleRefresh();
}

void TableDetailsController::onCommentChanged()
{
    if (m_busy || !m_ui->plainTextEditTableComments)
        return;
    const QString comment = m_ui->plainTextEditTableComments->toPlainText();
    if (m_table)
        m_table->setComment(comment);
    else if (m_view)
        m_view->setComment(comment);
}

void TableDetailsController::onPropertyItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item || item->column() != 1)
        return;
    m_table->setProperty(item->data(IdRole).toString(), item->text());
}

void TableDetailsController::onGovernanceItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item)
        return;
    ColumnItem *column = m_table->column(rowId(m_governanceModel, item->row()));
    if (!column)
        return;
    switch (item->column()) {
    case 1: column->setPersonal(item->checkState() == Qt::Checked); break;
    case 2: column->setSensible(item->checkState() == Qt::Checked); break;
    case 3: column->setClassification(item->text()); break;
    default: break;
    }
}
