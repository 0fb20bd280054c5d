#include "DeviceIdRequest.h"

#include <algorithm>

void DeviceIdRequest::StartDeviceIdRequest() {
    active = true;
    startTime = timer.Now();
    requestSent = false;
    known.fill(false);
}

void DeviceIdRequest::DeviceIdRequestStep() {
    if (!active || !triggered)
        return;
    triggered = false;
    if (!requestSent) {
        requestSent = true;
        sendSentence("$PQVZQ,HNX,DID_REQUEST");
    } else if (!std::all_of(known.begin(), known.end(), [](bool k) { return k; }) &&
               timer.ElapsedOver(startTime, 5000)) {
        StartDeviceIdRequest();
    }
}
