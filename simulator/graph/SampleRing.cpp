#include "SampleRing.h"

#include <algorithm>

void SampleRing::Empty() {
    std::fill(samples.begin(), samples.end(), GraphSample{});
    writeIndex = 0;
    count = 0;
}

void SampleRing::Clear() {
    Empty();
    autoSaveStart = 0;
}

void SampleRing::Put(const GraphSample &sample) {
    samples[static_cast<std::size_t>(writeIndex)] = sample;
    writeIndex = (writeIndex + 1) % kSize;
    if (count < kSize)
        ++count;
}
