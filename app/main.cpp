// Lirren, the Aubadine player: started at log-on, it plays the user's playlist and lives
// in the notification area until it is told to end.
#include "MainForm.h"
#include "Mpris.h"

#include <QApplication>
#include <QSessionManager>  // commitDataRequest's argument
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGHUP (the session ending) and SIGINT (Ctrl+C) reach the event loop through a
// socket pair, so the close sequence runs on the UI thread like any other close request.
int signalPipe[2] = {-1, -1};
// A request to end that came while start-up was still running (for instance while a
// message box about an unplayable track waited for an answer).
bool endRequestedEarly = false;

void OnTerminationSignal(int)
{
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

void InstallTerminationHandlers(TForm1& form)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
        if (form.Started()) {
            form.EndSession();
        } else {
            // Leave every event loop (a message box's too; quit() would ignore a request
            // made before the message loop runs); start-up then finishes and main runs
            // the close sequence instead of the message loop.
            endRequestedEarly = true;
            QCoreApplication::exit(0);
        }
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lirren"));
    // The application title "Velkor Aubadine" is the main window's title (TForm1). It is not
    // set as Qt's application display name: on X11 Qt appends that name to every window
    // title, and the message boxes' captions ("Confirm", "Error", "Warning") must stand alone.
    // The window is hidden most of the time; only closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TForm1 form;
    InstallTerminationHandlers(form);
    if (!form.FormCreate())
        return 0;
    if (endRequestedEarly) {
        form.EndSession();
        return 0;
    }
    // The desktop's session manager first asks for the data to be saved (also for a mere
    // checkpoint, when the session goes on), then tells the program to die, which reaches
    // us as the application quitting: save at the first; the form runs the close sequence
    // at the second (TForm1::ApplicationQuitting). Whatever makes the event loop end, the
    // close sequence has run before main returns.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.WriteSettings(); });
    // Media keys and the desktop's player widgets, when there is a session bus.
    TMprisService mpris(form);
    mpris.Register();
    form.ShowMainWindow();
    return app.exec();
}
