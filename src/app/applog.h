#pragma once

#include <QLoggingCategory>

// Lines of the main window and its file work. Debug lines are off unless asked for, e.g.
// QT_LOGGING_RULES="velmora.app.debug=true": a plain open or save prints nothing.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
