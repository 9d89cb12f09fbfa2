// The Indexes tab of the table details panel.
#include "tabledetailscontroller.h"

void TableDetailsController::populateIndexes() {}
void TableDetailsController::populateIndexColumns() {}
void TableDetailsController::addIndex() {}
void TableDetailsController::removeIndex() {}
void TableDetailsController::addIndexColumn() {}
void TableDetailsController::removeIndexColumn() {}
void TableDetailsController::onIndexItemChanged(QStandardItem *) {}
void TableDetailsController::onIndexColumnItemChanged(QStandardItem *) {}
