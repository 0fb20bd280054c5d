#pragma once
#include "KTR3LoaderIntf.h"

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// The engine's callbacks are plain function pointers; what they saw lives here, one record for
// the whole test binary. A test resets it with `LoaderCallbacksSeen{}` before a run.
struct LoaderCallbacksSeen {
    int starts = 0;
    std::vector<int> completes;
    std::vector<int> abortRequests;
    std::vector<std::string> messages;
    std::vector<int> ranges;
    std::vector<int> progress;
    bool Logged(const std::string &line) const {
        return std::find(messages.begin(), messages.end(), line) != messages.end();
    }
};
inline LoaderCallbacksSeen loaderCallbacksSeen;

inline void OnStart() {
    ++loaderCallbacksSeen.starts;
}
inline void OnComplete(int r) {
    loaderCallbacksSeen.completes.push_back(r);
}
inline void OnAbortRequest(int c) {
    loaderCallbacksSeen.abortRequests.push_back(c);
}
inline void OnMessage(const char *t) {
    loaderCallbacksSeen.messages.emplace_back(t ? t : "");
}
inline void OnRange(int n) {
    loaderCallbacksSeen.ranges.push_back(n);
}
inline void OnProgress(int p) {
    loaderCallbacksSeen.progress.push_back(p);
}

// Installs all six recorders on an engine.
inline void InstallLoaderCallbacks(TLoaderInterface &loader) {
    loader.SetOnStart(OnStart);
    loader.SetOnComplete(OnComplete);
    loader.SetOnAbortRequest(OnAbortRequest);
    loader.SetOnMessage(OnMessage);
    loader.SetOnProgressRange(OnRange);
    loader.SetOnProgress(OnProgress);
}

} // namespace testsupport
