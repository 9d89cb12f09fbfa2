// The Constraints tab of the table details panel and the key marks of the table's box.
#include "tabledetailscontroller.h"

#include <QModelIndex>

void TableDetailsController::populateConstraints() {}
void TableDetailsController::populateForeignKeys() {}
void TableDetailsController::showConstraintMenu() {}
void TableDetailsController::addConstraint(int) {}
void TableDetailsController::confirmRemoveConstraint() {}
void TableDetailsController::addConstraintColumn() {}
void TableDetailsController::removeConstraintColumn() {}
void TableDetailsController::onConstraintItemChanged(QStandardItem *) {}
void TableDetailsController::onConstraintColumnItemChanged(QStandardItem *) {}
void TableDetailsController::syncKeyMarks() {}
void TableDetailsController::syncForeignKeyMarks() {}

QStringList TableDetailsController::columnNames(TableItem *) const
{
    return {};
}

QStringList TableDetailsController::constraintColumnOptions(const QModelIndex &) const
{
    return {};
}
