#pragma once

#include <QString>
#include <QStringList>

// A generated name (a constraint's "pk_orders", an index's "ix_orders") that no taken
// name repeats, compared without regard to case: base itself when it is free, else
// base_2, base_3, ... the first that is.
QString uniqueGeneratedName(const QString &base, const QStringList &taken);
