// The host's end of the visualization protocol (docs/vis-protocol.md): connects to the
// player's socket, greets it, maps the block it names, links, requests data, and turns
// what comes back into a snapshot for the view. Reconnects every second while no player
// listens. Runs on the UI thread, from Qt's event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

struct VisSnapshot {
    bool connected = false;  // linked to a player
    uint32_t mode = 0;
    uint32_t sampleRate = 0;
    uint32_t bitRate = 0;
    uint32_t channels = 0;
    uint32_t duration_ms = 0;
    uint32_t position_ms = 0;
    QString title;
    uint32_t dataChannels = 0;
    std::array<std::array<uint8_t, 576>, 2> spectrum{};
    std::array<std::array<int8_t, 576>, 2> wave{};
    uint64_t blocks = 0;  // data blocks taken so far
};

class VisClient : public QObject {
    Q_OBJECT
public:
    VisClient(QString socketPath, uint32_t period_ms, QObject* parent = nullptr);
    ~VisClient() override;

    const VisSnapshot& Snapshot() const { return snap_; }

signals:
    void Changed();  // the snapshot changed (state, track or data)

private:
    void TryConnect();
    void OnReadable();
    void Disconnect();
    void SendFrame(uint32_t code, const uint32_t* words, uint32_t count);
    void ReadTrack();
    void ReadData();

    QString path_;
    uint32_t period_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    uint8_t* block_ = nullptr;
    QTimer retry_;
    VisSnapshot snap_;
};
