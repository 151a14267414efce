#pragma once

#include <string>

#include "clock/ClockFrame.h"
#include "clock/DisplayFormats.h"

namespace meridial {

// What the operator entered in the date-and-time group.
struct DateTimeEntry {
    CivilDate date;
    std::string timeText;  // the time field's 8 characters
    DisplayFormats formats;
};

}  // namespace meridial
