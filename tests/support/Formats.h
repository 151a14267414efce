#pragma once

#include "clock/DisplayFormats.h"

namespace meridial::testing {

// The three lists' positions, as the tables write them.
inline DisplayFormats Formats(int time, int style, int order) {
    return {static_cast<TimeFormat>(time), static_cast<DateStyle>(style),
            static_cast<DateOrder>(order)};
}

}  // namespace meridial::testing
