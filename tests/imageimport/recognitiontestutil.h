#pragma once

#include "imageimport.h"

#include <QStringList>

namespace recognitiontest {

// "Title [name:type; ...]", followed by " missing" when no attribute was recognised.
inline QString describe(const RecognizedEntity &entity)
{
    QStringList rows;
    for (const RecognizedAttribute &attribute : entity.attributes)
        rows.append(attribute.name + QLatin1Char(':') + attribute.type);
    return entity.title + QLatin1String(" [") + rows.join(QLatin1String("; ")) + QLatin1Char(']')
        + (entity.attributesMissing ? QLatin1String(" missing") : QLatin1String(""));
}

} // namespace recognitiontest
