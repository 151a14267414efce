// CPU time of the virtual sign's decoder on long message bodies full of end markers whose
// checksum never matches: each "<E>" is a candidate end the decoder has to weigh.
//
//   bench/decoder [frames]     (default 10 frames of 4090 bytes, about 40 KB)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "sign/SignDecoder.h"

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 10;
    std::string unit = "<ID00><FC>";
    for (int i = 0; i < 1020; ++i) unit += "a<E>";
    std::string input;
    for (int i = 0; i < frames; ++i) input += unit;

    meridial::sign::SignDecoder decoder;
    std::size_t decoded = 0;
    const std::clock_t start = std::clock();
    long long now = 0;
    for (char c : input) {
        decoder.Feed(static_cast<std::uint8_t>(c), now);
        decoded += decoder.TakeFrames().size();
    }
    now += meridial::sign::SignDecoder::kIdleFlushMs;
    decoder.Flush(now);
    decoded += decoder.TakeFrames().size();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("%zu bytes, %zu frames reported, %.1f ms CPU, %.1f ns per byte\n", input.size(),
                decoded, cpuMs, cpuMs * 1e6 / static_cast<double>(input.size()));
    return 0;
}
