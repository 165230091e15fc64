#include "base/settings.h"

Settings gSettings;
