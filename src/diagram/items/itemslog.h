#pragma once

#include <QLoggingCategory>

// Debug lines of the diagram items (what a box writes and reads, edits and drags). Off
// unless asked for, e.g. QT_LOGGING_RULES="velmora.items.debug=true": a large diagram
// would otherwise print several lines per box.
Q_DECLARE_LOGGING_CATEGORY(lcItems)
