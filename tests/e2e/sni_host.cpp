// sni_host: a minimal StatusNotifierItem host for the end-to-end test, standing in for a
// desktop panel of the kind that shows tray icons over D-Bus. It owns the watcher service
// (org.kde.StatusNotifierWatcher) on the session bus and says a host is registered. When
// an item registers, it reads the item's properties and menu (com.canonical.dbusmenu) and
// writes them to REPORT, then, like a user, chooses the menu items whose labels follow on
// the command line, one after the other, and waits for the item to leave the bus.
//
//   sni_host REPORT TIMEOUT_MS [LABEL...]
// Prints "ready" on stdout once it owns the watcher service, and "chose LABEL" once the
// item has answered the click on LABEL. Exit 0 when the item came, was
// described and (if labels were given) left the bus; 1 otherwise. SNI_HOST_TRACE=1 in the
// environment traces the calls the host receives.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

class Watcher : public QDBusVirtualObject {
public:
    std::function<void(const QString& service, const QString& path)> OnItem;
    QStringList items;

    QString introspect(const QString&) const override
    {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierItemUnregistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierHostRegistered\"/>"
            "</interface>");
    }

    QVariant Property(const QString& name) const
    {
        if (name == QLatin1String("RegisteredStatusNotifierItems"))
            return items;
        if (name == QLatin1String("IsStatusNotifierHostRegistered"))
            return true;
        if (name == QLatin1String("ProtocolVersion"))
            return 0;
        return {};
    }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override
    {
        if (std::getenv("SNI_HOST_TRACE"))
            std::fprintf(stderr, "sni_host: %s.%s %s\n", qPrintable(m.interface()), qPrintable(m.member()),
                         qPrintable(m.signature()));
        if (m.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            if (m.member() == QLatin1String("Get") && m.arguments().size() == 2) {
                bus.send(m.createReply(QVariant::fromValue(QDBusVariant(Property(m.arguments()[1].toString())))));
                return true;
            }
            if (m.member() == QLatin1String("GetAll")) {
                QVariantMap all;
                for (const char* name : {"RegisteredStatusNotifierItems", "IsStatusNotifierHostRegistered", "ProtocolVersion"})
                    all.insert(QLatin1String(name), Property(QLatin1String(name)));
                bus.send(m.createReply(all));
                return true;
            }
            return false;
        }
        if (m.member() == QLatin1String("RegisterStatusNotifierItem") && !m.arguments().isEmpty()) {
            // The argument is a bus name (the item at /StatusNotifierItem) or an object path
            // on the caller's connection.
            QString arg = m.arguments()[0].toString();
            QString service = arg.startsWith(QLatin1Char('/')) ? m.service() : arg;
            QString path = arg.startsWith(QLatin1Char('/')) ? arg : QStringLiteral("/StatusNotifierItem");
            items << service + path;
            bus.send(m.createReply());
            // Look at the item from the main loop, not from inside this dispatch.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [this, service, path] { if (OnItem) OnItem(service, path); },
                Qt::QueuedConnection);
            return true;
        }
        if (m.member() == QLatin1String("RegisterStatusNotifierHost")) {
            bus.send(m.createReply());
            return true;
        }
        return false;
    }
};

struct MenuNode {
    int id = 0;
    QVariantMap props;
    std::vector<MenuNode> children;
};

MenuNode ReadNode(const QDBusArgument& arg)
{
    MenuNode node;
    arg.beginStructure();
    arg >> node.id >> node.props;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        node.children.push_back(ReadNode(child.variant().value<QDBusArgument>()));
    }
    arg.endArray();
    arg.endStructure();
    return node;
}

// dbusmenu labels mark mnemonics with '_' and write a literal one as "__".
QString Label(const MenuNode& node)
{
    QString label = node.props.value(QStringLiteral("label")).toString();
    label.replace(QLatin1String("__"), QLatin1String("\x01"));
    label.remove(QLatin1Char('_'));
    label.replace(QLatin1Char('\x01'), QLatin1Char('_'));
    return label;
}

void Describe(const MenuNode& node, int depth, QTextStream& out, QMap<QString, int>& ids)
{
    for (const MenuNode& child : node.children) {
        if (!child.props.value(QStringLiteral("visible"), true).toBool())
            continue;
        QString line = QString(depth * 2, QLatin1Char(' '));
        if (child.props.value(QStringLiteral("type")).toString() == QLatin1String("separator")) {
            out << line << "-\n";
            continue;
        }
        QString label = Label(child);
        ids.insert(label, child.id);
        line += label;
        if (!child.props.value(QStringLiteral("enabled"), true).toBool())
            line += QStringLiteral(" [disabled]");
        if (child.props.value(QStringLiteral("toggle-type")).toString() == QLatin1String("checkmark"))
            line += child.props.value(QStringLiteral("toggle-state")).toInt() == 1 ? QStringLiteral(" [x]")
                                                                                  : QStringLiteral(" [ ]");
        out << line << "\n";
        Describe(child, depth + 1, out, ids);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: sni_host REPORT TIMEOUT_MS [LABEL...]\n");
        return 2;
    }
    const QString reportPath = QString::fromLocal8Bit(argv[1]);
    const int timeoutMs = std::atoi(argv[2]);
    QStringList choices;
    for (int i = 3; i < argc; ++i)
        choices << QString::fromLocal8Bit(argv[i]);

    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.isConnected() || !bus.registerVirtualObject(kWatcherPath, &watcher) ||
        !bus.registerService(kWatcherService)) {
        std::fprintf(stderr, "sni_host: cannot own %s on the session bus\n", qPrintable(kWatcherService));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    int result = 1;
    QTimer::singleShot(timeoutMs, &app, [&] {
        std::fprintf(stderr, "sni_host: timed out\n");
        app.exit(1);
    });

    watcher.OnItem = [&](const QString& service, const QString& path) {
        QFile file(reportPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return app.exit(1);
        QTextStream out(&file);

        QDBusMessage getAll = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                             QStringLiteral("GetAll"));
        getAll << kItemInterface;
        QDBusMessage props = bus.call(getAll, QDBus::BlockWithGui, 5000);
        if (props.type() != QDBusMessage::ReplyMessage)
            return out << "error " << props.errorMessage() << "\n", app.exit(1);
        QVariantMap item = qdbus_cast<QVariantMap>(props.arguments().value(0));
        out << "id " << item.value(QStringLiteral("Id")).toString() << "\n";
        out << "title " << item.value(QStringLiteral("Title")).toString() << "\n";
        out << "status " << item.value(QStringLiteral("Status")).toString() << "\n";
        int iconPixmaps = 0;
        {
            const QDBusArgument icons = item.value(QStringLiteral("IconPixmap")).value<QDBusArgument>();
            icons.beginArray();
            while (!icons.atEnd()) {
                int w = 0, h = 0;
                QByteArray data;
                icons.beginStructure();
                icons >> w >> h >> data;
                icons.endStructure();
                if (w > 0 && h > 0 && data.size() == w * h * 4)
                    ++iconPixmaps;
            }
            icons.endArray();
        }
        out << "icon-pixmaps " << iconPixmaps << "\n";
        {
            // (icon name, icon pixmaps, title, description)
            const QDBusArgument tip = item.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
            QString iconName, title, description;
            tip.beginStructure();
            tip >> iconName;
            tip.beginArray();
            while (!tip.atEnd()) {
                int w = 0, h = 0;
                QByteArray data;
                tip.beginStructure();
                tip >> w >> h >> data;
                tip.endStructure();
            }
            tip.endArray();
            tip >> title >> description;
            tip.endStructure();
            out << "tooltip " << title << "\n";
        }
        QString menuPath = qvariant_cast<QDBusObjectPath>(item.value(QStringLiteral("Menu"))).path();
        out << "menu " << menuPath << "\n";

        QDBusMessage getLayout = QDBusMessage::createMethodCall(service, menuPath, kMenuInterface, QStringLiteral("GetLayout"));
        getLayout << 0 << -1 << QStringList();
        QDBusMessage layout = bus.call(getLayout, QDBus::BlockWithGui, 5000);
        if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() < 2)
            return out << "error " << layout.errorMessage() << "\n", app.exit(1);
        MenuNode root = ReadNode(layout.arguments()[1].value<QDBusArgument>());
        QMap<QString, int> ids;
        Describe(root, 0, out, ids);
        out.flush();

        for (const QString& label : choices) {
            if (!ids.contains(label)) {
                std::fprintf(stderr, "sni_host: no menu item %s\n", qPrintable(label));
                return app.exit(1);
            }
            QDBusMessage click = QDBusMessage::createMethodCall(service, menuPath, kMenuInterface, QStringLiteral("Event"));
            click << ids.value(label) << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
                  << static_cast<uint>(QDateTime::currentSecsSinceEpoch());
            bus.call(click, QDBus::BlockWithGui, 5000);
            std::printf("chose %s\n", qPrintable(label));
            std::fflush(stdout);
        }
        if (choices.isEmpty()) {
            result = 0;
            return app.exit(0);
        }
        // The item leaves the bus when the player ends.
        auto* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&, service] {
            if (!bus.interface()->isServiceRegistered(service)) {
                result = 0;
                app.exit(0);
            }
        });
        poll->start(50);
    };

    int code = app.exec();
    return code == 0 ? result : code;
}
