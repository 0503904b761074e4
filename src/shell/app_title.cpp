#include "app_title.h"
