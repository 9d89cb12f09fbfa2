// The Mappings tab of the table details panel: every mapping of the project.
#include "tabledetailscontroller.h"

#include <QModelIndex>

void TableDetailsController::populateMappings() {}
void TableDetailsController::addMapping() {}
void TableDetailsController::removeMapping() {}
void TableDetailsController::onMappingItemChanged(QStandardItem *) {}

MappingItem *TableDetailsController::mappingForRow(int) const
{
    return nullptr;
}

QStringList TableDetailsController::mappingOptions(const QModelIndex &) const
{
    return {};
}
