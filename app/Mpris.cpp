#include "Mpris.h"

#include "BASSPlayer.h"
#include "MainForm.h"

#include <QAction>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

#include <unistd.h>

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// a + b without wrapping: a caller may send any 64-bit offset.
qint64 SaturatingAdd(qint64 a, qint64 b)
{
    qint64 sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

bool IsAddress(const std::string& name)
{
    return name.find("://") != std::string::npos;
}

}  // namespace

// org.mpris.MediaPlayer2: who the player is and what it can open.
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    TMprisRootAdaptor(TMprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return false; }  // the player has no window to bring up
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Aubadine"); }
    // The installer's log-on entry is Aubadine.desktop.
    QString DesktopEntry() const { return QStringLiteral("Aubadine"); }
    // What the engine opens: files, network addresses (http, ftp, mms), CD tracks by name.
    QStringList SupportedUriSchemes() const
    {
        return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
                QStringLiteral("mms")};
    }
    QStringList SupportedMimeTypes() const
    {
        return {QStringLiteral("audio/mpeg"),      QStringLiteral("audio/ogg"),       QStringLiteral("audio/x-vorbis+ogg"),
                QStringLiteral("audio/x-wav"),     QStringLiteral("audio/wav"),       QStringLiteral("audio/x-ms-wma"),
                QStringLiteral("video/x-ms-asf"),  QStringLiteral("audio/x-mod"),     QStringLiteral("audio/x-it"),
                QStringLiteral("audio/x-xm"),      QStringLiteral("audio/x-s3m"),     QStringLiteral("audio/x-mo3")};
    }

public slots:
    void Raise() {}
    void Quit() { service_->Quit(); }

private:
    TMprisService* service_;
};

// org.mpris.MediaPlayer2.Player: the playback commands and state.
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    TMprisPlayerAdaptor(TMprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

    QString PlaybackStatus() const { return service_->PlaybackStatus(); }
    // The playlist wraps around at its end, always.
    QString LoopStatus() const { return QStringLiteral("Playlist"); }
    void SetLoopStatus(const QString&) {}
    double Rate() const { return 1.0; }
    void SetRate(double) {}
    bool Shuffle() const { return service_->Shuffle(); }
    void SetShuffle(bool value) { service_->SetShuffle(value); }
    QVariantMap Metadata() const { return service_->Metadata(); }
    double Volume() const { return service_->Volume(); }
    void SetVolume(double value) { service_->SetVolume(value); }
    qlonglong Position() const { return service_->Position_us(); }
    bool CanGoNext() const { return service_->CanGoNext(); }
    bool CanGoPrevious() const { return service_->CanGoPrevious(); }
    bool CanPlay() const { return service_->CanPlay(); }
    bool CanPause() const { return service_->CanPause(); }
    bool CanSeek() const { return service_->CanSeek(); }
    bool CanControl() const { return true; }

public slots:
    void Next() { service_->Next(); }
    void Previous() { service_->Previous(); }
    void Pause() { service_->Pause(); }
    void PlayPause() { service_->PlayPause(); }
    void Stop() { service_->Stop(); }
    void Play() { service_->Play(); }
    void Seek(qlonglong Offset) { service_->Seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
    {
        service_->SetPosition(TrackId.path(), Position);
    }
    // Only the playlist is played; an address from outside is not taken.
    void OpenUri(const QString&)
    {
        if (auto* context = dynamic_cast<QDBusContext*>(parent()); context && context->calledFromDBus())
            context->sendErrorReply(QDBusError::NotSupported, QStringLiteral("Aubadine plays its playlist only"));
    }

signals:
    void Seeked(qlonglong Position);

private:
    TMprisService* service_;
};

TMprisService::TMprisService(TForm1& form) : form_(form)
{
    new TMprisRootAdaptor(this);
    player_ = new TMprisPlayerAdaptor(this);
    trackNumber_ = 1;  // start-up opened the first track before the service exists
}

TMprisService::~TMprisService()
{
    if (registered_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(QString::fromLatin1(kServiceName));
        bus.unregisterService(QStringLiteral("%1.instance%2").arg(QString::fromLatin1(kServiceName)).arg(getpid()));
    }
}

bool TMprisService::Register()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this))
        return false;
    // A second player takes an instance name, as media players do.
    if (!bus.registerService(QString::fromLatin1(kServiceName)) &&
        !bus.registerService(QStringLiteral("%1.instance%2").arg(QString::fromLatin1(kServiceName)).arg(getpid()))) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    registered_ = true;

    form_.OnPlayerModeChange = [this](TPlayerMode, TPlayerMode NewMode) {
        if (NewMode == plmReady)
            ++trackNumber_;  // Open prepared another track
        StateMayHaveChanged();
    };
    if (TBASSPlayer* player = form_.Player()) {
        // The title of a live broadcast and the tags of a downloaded file arrive later.
        player->OnGetMeta = [this](TBASSPlayer*, const std::string&) { StateMayHaveChanged(); };
        player->OnDownloaded = [this](TBASSPlayer*, const std::string&) { StateMayHaveChanged(); };
    }
    for (int item : {8, 9, 10})
        if (QAction* action = form_.MenuItem(item))
            connect(action, &QAction::changed, this, &TMprisService::StateMayHaveChanged);
    AnnounceChanges();  // takes the present state as announced
    return true;
}

QString TMprisService::PlaybackStatus() const
{
    TBASSPlayer* player = form_.Player();
    switch (player ? player->Mode() : plmStandby) {
    case plmPlaying: return QStringLiteral("Playing");
    case plmPaused: return QStringLiteral("Paused");
    default: return QStringLiteral("Stopped");
    }
}

QString TMprisService::TrackId() const
{
    return QStringLiteral("/org/aubadine/track/%1").arg(trackNumber_);
}

QVariantMap TMprisService::Metadata() const
{
    TBASSPlayer* player = form_.Player();
    if (!player || player->Mode() == plmStandby || player->StreamName().empty())
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kNoTrack)))}};

    const TStreamInfo& info = player->StreamInfo();
    const std::string& name = player->StreamName();
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    QString title = QString::fromStdString(info.Title);
    if (title.isEmpty()) {
        // Untagged files show their name, as the desktop's own file lists do.
        std::string base = name.substr(name.find_last_of("/\\") + 1);
        title = QString::fromStdString(base);
    }
    map.insert(QStringLiteral("xesam:title"), title);
    if (!info.Artist.empty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromStdString(info.Artist)});
    if (!info.Album.empty())
        map.insert(QStringLiteral("xesam:album"), QString::fromStdString(info.Album));
    if (uint32_t length_ms = player->GetPlayLength(); length_ms > 0)
        map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(length_ms) * 1000);
    if (IsAddress(name))
        map.insert(QStringLiteral("xesam:url"), QString::fromStdString(name));
    else if (!name.empty() && name.front() == '/')
        map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(QString::fromStdString(name)).toString());
    return map;
}

qint64 TMprisService::Position_us() const
{
    TBASSPlayer* player = form_.Player();
    return player ? static_cast<qint64>(player->GetPosition()) * 1000 : 0;
}

double TMprisService::Volume() const
{
    TBASSPlayer* player = form_.Player();
    return player ? player->Volume() / 255.0 : 0.0;
}

void TMprisService::SetVolume(double value)
{
    TBASSPlayer* player = form_.Player();
    if (!player || std::isnan(value))
        return;
    player->SetVolume(static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255)));
    StateMayHaveChanged();
}

bool TMprisService::Shuffle() const
{
    QAction* shuffle = form_.MenuItem(10);
    return shuffle && shuffle->isChecked();
}

void TMprisService::SetShuffle(bool value)
{
    if (QAction* shuffle = form_.MenuItem(10); shuffle && !form_.Closed())
        shuffle->setChecked(value);
}

bool TMprisService::CanGoNext() const
{
    QAction* next = form_.MenuItem(9);
    return form_.Player() && next && next->isEnabled();
}

bool TMprisService::CanGoPrevious() const
{
    QAction* previous = form_.MenuItem(8);
    return form_.Player() && previous && previous->isEnabled();
}

bool TMprisService::CanPlay() const
{
    TBASSPlayer* player = form_.Player();
    return player && player->ChannelKind() != ckNone;
}

bool TMprisService::CanPause() const
{
    return CanPlay();
}

bool TMprisService::CanSeek() const
{
    TBASSPlayer* player = form_.Player();
    return player && player->Seekable();
}

void TMprisService::Quit()
{
    // After the reply has gone: the close sequence ends the event loop.
    QTimer::singleShot(0, &form_, [this] { form_.N3Click(); });
}

void TMprisService::Next()
{
    form_.N9Click();
}

void TMprisService::Previous()
{
    form_.N8Click();
}

void TMprisService::Pause()
{
    form_.N5Click();
}

void TMprisService::PlayPause()
{
    TBASSPlayer* player = form_.Player();
    if (player && player->Mode() == plmPlaying)
        Pause();
    else
        Play();
}

void TMprisService::Play()
{
    form_.N6Click();
}

void TMprisService::Stop()
{
    form_.StopPlayback();
}

void TMprisService::Seek(qint64 offset_us)
{
    TBASSPlayer* player = form_.Player();
    if (!player || !player->Seekable())
        return;
    const qint64 length_us = static_cast<qint64>(player->GetPlayLength()) * 1000;
    qint64 target = std::max<qint64>(0, SaturatingAdd(Position_us(), offset_us));
    if (target > length_us) {
        Next();  // past the end is the next track
        return;
    }
    player->SetPosition(static_cast<uint32_t>(target / 1000));
    emit player_->Seeked(Position_us());
}

void TMprisService::SetPosition(const QString& trackId, qint64 position_us)
{
    TBASSPlayer* player = form_.Player();
    if (!player || !player->Seekable() || trackId != TrackId())
        return;  // a stale track id is ignored
    if (position_us < 0 || position_us > static_cast<qint64>(player->GetPlayLength()) * 1000)
        return;
    player->SetPosition(static_cast<uint32_t>(position_us / 1000));
    emit player_->Seeked(Position_us());
}

void TMprisService::StateMayHaveChanged()
{
    if (!registered_ || announcePending_)
        return;
    announcePending_ = true;
    // Several changes of one command (Open, then Play) go out as one signal.
    QTimer::singleShot(0, this, [this] { AnnounceChanges(); });
}

void TMprisService::AnnounceChanges()
{
    announcePending_ = false;
    QVariantMap now{
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("Volume"), Volume()},
        {QStringLiteral("Shuffle"), Shuffle()},
        {QStringLiteral("CanGoNext"), CanGoNext()},
        {QStringLiteral("CanGoPrevious"), CanGoPrevious()},
        {QStringLiteral("CanPlay"), CanPlay()},
        {QStringLiteral("CanPause"), CanPause()},
        {QStringLiteral("CanSeek"), CanSeek()},
    };
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    const bool first = announced_.isEmpty();
    announced_ = now;
    if (!first && !changed.isEmpty())
        SendPropertiesChanged(kPlayerInterface, changed);
}

void TMprisService::SendPropertiesChanged(const char* interfaceName, const QVariantMap& changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interfaceName) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

#include "Mpris.moc"
