#include "itemslog.h"

Q_LOGGING_CATEGORY(lcItems, "velmora.items", QtWarningMsg)
