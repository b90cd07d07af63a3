// The host object model in one include: everything Kartoplot does on a map goes through it.
#pragma once

#include "host/display.h"
#include "host/elements.h"
#include "host/features.h"
#include "host/geometry.h"
#include "host/graphics.h"
#include "host/interaction.h"
#include "host/layers.h"
#include "host/map.h"
#include "host/property_set.h"
#include "host/signal.h"
#include "host/statistics.h"
#include "host/symbols.h"
#include "host/variant.h"
