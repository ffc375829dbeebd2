// aubavis: a visualization host for Lirren. It connects to the player's socket, links
// itself, and shows the track and a live spectrum and waveform of what plays.
//
//   aubavis [--period MS] [--socket PATH]
//
// --period: milliseconds between two data blocks (default 25, at least 10).
// --socket: the player's socket (default as docs/vis-protocol.md says).
#include "VisClient.h"
#include "VisView.h"

#include <QApplication>
#include <QCommandLineParser>

#include <unistd.h>

namespace {

QString DefaultSocket()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime) + "/aubadine/vis.sock";
    return QString("/tmp/aubadine-%1/vis.sock").arg(::getuid());
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("aubavis");
    QCommandLineParser args;
    args.setApplicationDescription("A visualization host for Lirren.");
    args.addHelpOption();
    QCommandLineOption period("period", "Milliseconds between two data blocks (default 25).", "ms", "25");
    QCommandLineOption socket("socket", "The player's socket.", "path", DefaultSocket());
    args.addOption(period);
    args.addOption(socket);
    args.process(app);
    bool ok = false;
    uint32_t ms = args.value(period).toUInt(&ok);
    if (!ok || ms < 10)
        ms = ok ? 10 : 25;

    VisClient client(args.value(socket), ms);
    VisView view(client);
    view.show();
    return app.exec();
}
