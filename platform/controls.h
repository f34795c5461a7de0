// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The control model the windows are written against, one header per kind.
#include "label.h"
#include "picturebox.h"
#include "upperlayer.h"
#include "window.h"
