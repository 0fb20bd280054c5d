#pragma once
#include "DeviceIdentity.h"
#include "GraphSample.h"

#include <QString>
#include <QWidget>

class TfCogDisplay;

// The graph window: samples the steering controller's guidance values while it is shown.
// The main window carries its settings across sessions and writes received identities into it.
class TfGraphicDisplay : public QWidget {
public:
    enum IdentityIndex { Steering = 0, LightBar = 1, Dgps = 2 };

    explicit TfGraphicDisplay(QWidget *parent = nullptr);

    // Called on every tick of the main loop with the current sample.
    void AddSample(GraphSample &sample);
    bool IsShown() const { return isVisible(); }
    // The course window that "COG " shows and hides and that the redraw hands the course to.
    void SetCogDisplay(TfCogDisplay *window) { cogDisplay = window; }

    bool GetLinearGrid() const { return linearGrid; }
    void SetLinearGrid(bool on) { linearGrid = on; }
    bool GetLogGrid() const { return logGrid; }
    void SetLogGrid(bool on) { logGrid = on; }
    int GetBmpSaveFileIndex() const { return bmpSaveFileIndex; }
    void SetBmpSaveFileIndex(int index) { bmpSaveFileIndex = index; }
    int GetDataSaveFileIndex() const { return dataSaveFileIndex; }
    void SetDataSaveFileIndex(int index) { dataSaveFileIndex = index; }
    const QString &GetStartDirectory() const { return startDirectory; }
    void SetStartDirectory(const QString &directory) { startDirectory = directory; }

    // The received set: the main loop fills it and raises the flag; the next stored sample
    // takes it over.
    DeviceIdentity &ReceivedIdentity(IdentityIndex which) { return receivedIdentities[which]; }
    void SetIdentityReceived() { identityReceived = true; }
    bool IsIdentityReceived() const { return identityReceived; }

private:
    bool linearGrid = true;
    bool logGrid = true;
    int bmpSaveFileIndex = 1;
    int dataSaveFileIndex = 1;
    QString startDirectory;
    DeviceIdentity receivedIdentities[3]{};
    bool identityReceived = false;
    TfCogDisplay *cogDisplay = nullptr;
};
