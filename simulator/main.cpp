#include "ExceptionApplication.h"
#include "TerminationSignals.h"
#include "TfCogDisplay.h"
#include "TfDefineButton.h"
#include "TfGpsSimulator.h"
#include "TfGraphicDisplay.h"
#include "TfPelmora.h"
#include "TfPositionDeviation.h"
#include "TfSendFilePopUp.h"
#include "TfShowMessageMonColors.h"
#include "TfSkyView.h"
#include "TfSvStatus.h"

#include <exception>

int main(int argc, char **argv) {
    platform::ExceptionApplication app(argc, argv);
    QApplication::setApplicationName("Pelmora");
    try {
        // The main window first: it reads the settings the other windows are placed by.
        TfPelmora fPelmora;
        TfDefineButton fDefineButton(&fPelmora);
        TfGraphicDisplay fGraphicDisplay;
        TfSendFilePopUp fSendFilePopUp(&fPelmora);
        TfShowMessageMonColors fShowMessageMonColors(&fPelmora);
        TfPositionDeviation fPositionDeviation;
        TfSvStatus fSvStatus;
        TfCogDisplay fCogDisplay;
        TfSkyView fSkyView;
        TfGpsSimulator fGpsSimulator;
        fGraphicDisplay.SetCogDisplay(&fCogDisplay);
        fPelmora.AttachWindows({&fDefineButton, &fGraphicDisplay, &fSendFilePopUp, &fShowMessageMonColors,
                                &fPositionDeviation, &fSvStatus, &fCogDisplay, &fSkyView, &fGpsSimulator});
        // Closing the main window ends the program, whatever else is open.
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
        fPelmora.setAttribute(Qt::WA_QuitOnClose, true);
        for (QWidget *w : std::initializer_list<QWidget *>{&fGraphicDisplay, &fPositionDeviation, &fSvStatus,
                                                           &fCogDisplay, &fSkyView, &fGpsSimulator})
            w->setAttribute(Qt::WA_QuitOnClose, false);
        // Logging out, Ctrl-C or a closed terminal end the program as closing its window does, so
        // the settings of the run are kept.
        platform::TerminationSignals terminationSignals([&fPelmora] {
            fPelmora.close();
            QApplication::quit();
        });
        fPelmora.show();
        app.exec();
        // The main window is destroyed last of all (it was created first) and writes the settings.
    } catch (...) {
        platform::ExceptionApplication::ShowException(std::current_exception());
    }
    return 0;
}
