// Compiles the generated form header once, so a broken form fails here first.
#include "ui_MainWindow.h"
