#include "run/settings.h"

Settings gSettings;
PictureList gPictureList;
