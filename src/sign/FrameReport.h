#pragma once

#include <string>

#include "sign/SignDecoder.h"

namespace meridial::sign {

// A received frame as the virtual sign reports it: one line for the terminal and one JSON object
// (with its line break) for the log.
struct FrameReport {
    std::string line;
    std::string json;
};

FrameReport ReportFrame(const DecodedFrame& frame);

}  // namespace meridial::sign
