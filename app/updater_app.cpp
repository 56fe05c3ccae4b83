#include "updater_app.h"

UpdaterApp updaterApp;
