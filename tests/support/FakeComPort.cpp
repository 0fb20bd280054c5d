#include "FakeComPort.h"

namespace testsupport {

void FakeComPort::FlushInBuffer() {
    ++inputFlushes;
    input.clear();
    readPos = 0;
}

void FakeComPort::SendBreak(unsigned ticks, bool) {
    if (!open)
        throw platform::EPortNotOpen("Port not open");
    breaks.push_back(ticks);
}

void FakeComPort::Feed(const std::string &bytes) {
    input.append(bytes);
    DataArrived();
}

void FakeComPort::DoOpen() {
    const OpenFailure failure = failNextOpen;
    failNextOpen = OpenFailure::None;
    switch (failure) {
    case OpenFailure::BadId:
        throw platform::EBadId("no such port");
    case OpenFailure::AlreadyOpen:
        throw platform::EAlreadyOpen("port in use");
    case OpenFailure::InOutError:
        throw platform::EInOutError("bad rate");
    case OpenFailure::AccessDenied:
        throw platform::EPortAccessDenied("Permission denied: join the dialout group");
    case OpenFailure::OpenFailed:
        throw platform::EOpenFailed("Cannot open /dev/ttyS4: Input/output error");
    case OpenFailure::Other:
        throw std::runtime_error("something else broke");
    case OpenFailure::None:
        break;
    }
    if (refuseBaud)
        throw platform::EInOutError("bad rate");
    open = true;
    ++opens;
}

void FakeComPort::DoClose() {
    open = false;
    ++closes;
}

void FakeComPort::DoSetBaud(int baud) {
    if (refuseBaud)
        throw platform::EInOutError("bad rate");
    baudChanges.push_back(baud);
}

bool FakeComPort::DoGetChar(char &c) {
    if (readPos >= input.size())
        return false;
    c = input[readPos++];
    if (readPos == input.size()) {
        input.clear();
        readPos = 0;
    }
    return true;
}

} // namespace testsupport
