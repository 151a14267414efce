// Any byte stream: every byte is reported in exactly one frame, no frame outgrows the bound, and
// the sign's state takes whatever decodes cleanly.

#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "sign/SignDecoder.h"
#include "sign/SignState.h"

using namespace meridial::sign;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SignDecoder decoder;
    SignState state;
    long long now = 0;
    std::size_t accounted = 0;
    auto take = [&] {
        for (const DecodedFrame& f : decoder.TakeFrames()) {
            if (f.bytes.empty() || f.bytes.size() > SignDecoder::kMaxFrameBytes + 1)
                meridial::fuzz::Broken("frame size");
            accounted += f.bytes.size();
            state.Apply(f, now);
            state.Display(now);
        }
    };
    for (std::size_t i = 0; i < size; ++i) {
        decoder.Feed(data[i], now);
        // A byte 0xFF also lets the line go quiet after it, so truncation paths are reached.
        now += data[i] == 0xFF ? SignDecoder::kIdleFlushMs : 1;
        decoder.Flush(now);
        take();
    }
    now += SignDecoder::kIdleFlushMs;
    decoder.Flush(now);
    take();
    if (accounted != size) meridial::fuzz::Broken("bytes not accounted for");
    return 0;
}
