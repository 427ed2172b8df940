// The view class of the document template: the instrument view once it is part of the build,
// until then the empty form it is built on.
#pragma once

#include "toolkit/View.h"

toolkit::CView* MakeInstrumentView();
