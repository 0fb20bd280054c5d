#pragma once

// What the main loop needs to know of a running file send: whether it runs, whether it paces
// lines by the device's replies, and how many lines still wait for one.
struct FileSendState {
    bool active = false;
    bool responseWindow = false;
    int outstandingLines = 0;
    // The replies still owed to the file's lines when its send ended: they are the file's, and
    // answer no script wait.
    int owedReplies = 0;
};
