// The player's remote control on the Linux desktop: an MPRIS2 service on the session bus
// ("org.mpris.MediaPlayer2.aubadine"), through which media keys, the desktop's player
// widgets and playerctl reach Lirren. Its commands call the same TForm1 functions as the
// tray menu; its properties describe the engine's state and are announced with
// PropertiesChanged only when they really change (no signal per spectrum tick).
//
// The service is optional: without a usable session bus Register() returns false and the
// player goes on exactly as without it. Everything here runs on the UI thread.
#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class TForm1;
class TMprisPlayerAdaptor;

class TMprisService : public QObject, public QDBusContext {
    Q_OBJECT
public:
    // Bus name and object path of the service.
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.aubadine";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    explicit TMprisService(TForm1& form);
    ~TMprisService() override;

    // Connects to the session bus and publishes the service. False (and silent) when there
    // is no bus or the object cannot be registered. Call once, after start-up chose a track.
    bool Register();

    // ---- what the adaptors ask ----
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    qint64 Position_us() const;
    double Volume() const;
    void SetVolume(double value);
    bool Shuffle() const;
    void SetShuffle(bool value);
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

    // ---- commands ----
    void Quit();
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qint64 offset_us);
    void SetPosition(const QString& trackId, qint64 position_us);

    // Something the properties depend on may have changed: compares them with what was
    // last announced, and announces the difference once the current event is handled.
    void StateMayHaveChanged();

private:
    void AnnounceChanges();
    QString TrackId() const;
    void SendPropertiesChanged(const char* interfaceName, const QVariantMap& changed);

    TForm1& form_;
    TMprisPlayerAdaptor* player_ = nullptr;
    bool registered_ = false;
    bool announcePending_ = false;
    quint64 trackNumber_ = 0;      // counts the tracks opened, for mpris:trackid
    QVariantMap announced_;        // the Player properties as last announced
};
