#include "base/settings.h"

Settings gSettings;
PictureList gPictureList;
