// Platform check every identifying agent runs before anything else (shared with the services).
#pragma once

#include "identify.h"
