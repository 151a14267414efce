// The time field's rules on any text and any edit: the shape always comes back, and the clock
// and entry rules keep it.

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "clock/ClockFrame.h"
#include "clock/TimeFieldRules.h"

using namespace meridial;
using meridial::fuzz::Broken;

namespace {

bool HasShape(const std::string& t) {
    if (t.size() != kTimeFieldLength || t[2] != ':' || t[5] != ':') return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (t[i] != ' ' && (t[i] < '0' || t[i] > '9')) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::string before = in.Bytes(in.Byte() % 12);
    const std::size_t cursor = in.Byte() % 16;
    const std::string after = in.Rest();

    const ReshapedTimeField shaped = ReshapeTimeField(before, after, cursor);
    if (!HasShape(shaped.text) || shaped.cursor > kTimeFieldLength) Broken("reshape");
    if (ReshapeTimeField(shaped.text, shaped.text, shaped.cursor).text != shaped.text)
        Broken("reshape of a shaped field changes it");
    const std::string ruled = ApplyEntryRules(shaped.text);
    if (!HasShape(ruled)) Broken("entry rules");
    if (const auto next = TickTimeField(ruled); next && !HasShape(*next)) Broken("tick");
    FirstMissingDigit(after);
    TickTimeField(after);
    ApplyEntryRules(after);
    ReadTimeFieldNumber(after, 1, kDefaultHour);
    ReadTimeFieldNumber(after, 4, kDefaultMinute);
    return 0;
}
