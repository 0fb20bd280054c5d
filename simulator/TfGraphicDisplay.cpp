#include "TfGraphicDisplay.h"

TfGraphicDisplay::TfGraphicDisplay(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("fGraphicDisplay");
    setWindowTitle("Graphic Display of Incomming Data");
}

void TfGraphicDisplay::AddSample(GraphSample &) {
    // Sampling, the ring and drawing come with the graph's own work; the window takes nothing yet.
}
