#include "Dialogs.h"
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
        // Logging out, Ctrl-C or a closed terminal end the program as closing its window does, so
        // the settings of the run are kept. Made before the windows, so that it is gone only after
        // the main window, destroyed last of them, has written the settings: until then further
        // signals wait.
        TfPelmora *mainWindow = nullptr;
        platform::TerminationSignals terminationSignals([&mainWindow] {
            if (mainWindow) {
                // Nobody may be there to answer a box while the program ends.
                platform::SetMessageHandler([](const platform::MessageRequest &request) {
                    using platform::MessageButtons, platform::MessageResult;
                    qWarning("%s: %s", qUtf8Printable(request.caption), qUtf8Printable(request.text));
                    return request.buttons == MessageButtons::Ok      ? MessageResult::Ok
                           : request.buttons == MessageButtons::YesNo ? MessageResult::No
                                                                      : MessageResult::Cancel;
                });
                mainWindow->close();
            }
            QApplication::quit();
        });
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
        mainWindow = &fPelmora;
        fPelmora.show();
        app.exec();
        // The windows close no more; the main window is destroyed last of them (it was created
        // first) and writes the settings.
        mainWindow = nullptr;
    } catch (...) {
        platform::ExceptionApplication::ShowException(std::current_exception());
    }
    return 0;
}
