#pragma once
#include "GraphSample.h"

#include <vector>

// The last 4000 stored samples. The write index is the slot the next sample goes into; once the
// ring is full the oldest sample is overwritten. The auto-save start is the write index at which
// the next automatic save falls due.
class SampleRing {
public:
    static constexpr int kSize = 4000;

    SampleRing() : samples(kSize) {}

    // Zeroes every slot and both indexes and the count; the auto-save start is kept.
    void Empty();
    // Empty, and the auto-save start back to 0.
    void Clear();
    void Put(const GraphSample &sample);

    int WriteIndex() const { return writeIndex; }
    int Count() const { return count; }
    int AutoSaveStart() const { return autoSaveStart; }
    void SetAutoSaveStart(int slot) { autoSaveStart = Wrap(slot); }

    GraphSample &At(int slot) { return samples[static_cast<std::size_t>(Wrap(slot))]; }
    const GraphSample &At(int slot) const { return samples[static_cast<std::size_t>(Wrap(slot))]; }
    // The slot a sample was last stored in (slot 0 when empty).
    int Newest() const { return count == 0 ? 0 : Wrap(writeIndex - 1); }
    // Whether a slot holds one of the stored samples.
    bool IsStored(int slot) const { return Wrap(writeIndex - 1 - slot) < count; }
    // The slot `count` samples before `end`: the oldest of the samples that end just before it.
    static int StartOf(int end, int count) { return Wrap(end - count); }

    static int Wrap(int slot) { return ((slot % kSize) + kSize) % kSize; }

private:
    std::vector<GraphSample> samples; // on the heap: 4000 records are too many for a window's stack
    int writeIndex = 0;
    int count = 0;
    int autoSaveStart = 0;
};
