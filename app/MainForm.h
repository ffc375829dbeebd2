// TForm1: the player's main window. It reads the settings and the playlist, chooses the
// first track, hands tracks to the engine and moves on when a track ends (start-up and
// track selection), and carries the splash/about picture, the tray icon and its menu.
// Everything here runs on the UI thread.
#pragma once

#include "BASSPlayer.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;

class TForm1 : public QWidget {
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The start-up sequence. False when the program is to end at once (empty playlist:
    // the playlist editor has been started); the caller then exits with code 0.
    bool FormCreate();

    // ---- start-up, playlist and track selection ----
    void ReadSettings();
    bool WriteSettings();  // false when the settings could not be written
    int RandomTrack();     // uniform over 1..Count
    void UpdateNavigation();
    void PlayTrack(int n);
    void ChangeMode(TBASSPlayer* Sender, TPlayerMode OldMode, TPlayerMode NewMode);
    // The end-of-track rule: the next track in list order (wrapping), or at random with
    // "Перетасовка", opened and played.
    void MoveOnAfterTrackEnd();

    // ---- window, tray icon and menu ----
    void FormShow();       // each time the window is shown, before it is mapped
    void HideMainWindow();
    void ShowMainWindow(); // centred where start-up put it, raised, no taskbar entry
    void AddTrayIcon();
    void RemoveTrayIcon();
    void Timer1Timer();
    // The close sequence: no further track, the track stopped, the engine destroyed, the
    // icon removed, "Shuffle" and "Panel" written. Runs once, on whatever ends the program.
    void FormClose();
    // The session is ending (SIGTERM, SIGHUP, the desktop logging out): the close sequence,
    // with a failure to save only logged, because nobody may be left to answer a box.
    void EndSession();
    // The application's event loop has returned: runs a close request that had to wait for
    // a nested event loop (a message box's), or else ends the session.
    void ApplicationQuitting();
    // Stops the track without moving on to the next one (the desktop's remote control
    // asks for this; the tray menu has no such item).
    void StopPlayback();
    void N3Click();  // Exit
    void N5Click();  // Pause
    void N6Click();  // Play
    void N8Click();  // Previous
    void N9Click();  // Next
    void N10Click(); // Shuffle
    void N11Click(); // Panel
    void N12Click(); // Random
    void N13Click(); // About
    void PluginsClick(); // "Модули ввода…": the plug-in dialog
    void Button1Click();
    void Label1Click();
    void Label1MouseEnter();
    void Label1MouseLeave();

    // Random(N): uniform over 0..N-1, from the generator seeded once at start-up.
    int Random(int N);
    void SeedRandom(unsigned seed) { rng_.seed(seed); }
    // Where FormCreate takes its seed from: the clock, unless a test fixes it.
    std::function<unsigned()> SeedSource;
    // Told of every change of the engine's mode, after the form has acted on it.
    std::function<void(TPlayerMode OldMode, TPlayerMode NewMode)> OnPlayerModeChange;

    // ---- state, for the menu and for tests ----
    int TrackIndex() const { return FTrackIndex; }
    const std::string& Path() const { return FPath; }
    const std::vector<std::string>& Tracks() const { return Tracks_; }
    TBASSPlayer* Player() const { return Player_.get(); }
    bool SkipAutoNext() const { return FSkipAutoNext; }
    QAction* MenuItem(int n) const;  // N1 .. N13
    QAction* PluginsItem() const { return PluginsItem_; }
    QMenu* PopupMenu() const { return PopupMenu1; }
    QTimer* SplashTimer() const { return Timer1; }
    QSystemTrayIcon* TrayIcon() const { return TrayIcon_; }
    QPushButton* CloseButton() const { return Button1; }
    QLabel* WebLabel() const { return Label1; }
    bool Started() const { return started_; }
    bool Closed() const { return closed_; }
    // A close has been asked for: it has run, or it waits for a nested event loop to return.
    bool Closing() const { return closed_ || closeDeferred_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildComponents();
    void CenterOnDesktop();
    void RetryTrayIcon();
    void LoadPluginsForTests();

    int FTrackIndex = 0;
    std::string FPath;
    bool FSkipAutoNext = false;
    bool started_ = false;  // start-up chose a track; the close sequence applies
    bool closed_ = false;
    bool sessionEnding_ = false;
    bool closeDeferred_ = false;  // asked for inside a nested event loop; runs when it returns
    bool FEndedInPause = false;   // the track ended while paused; "Воспроизвести" moves on
    bool FStoppedOnRequest = false; // StopPlayback stopped the track; "Воспроизвести" restarts it
    std::unique_ptr<TBASSPlayer> Player_;
    std::vector<std::string> Tracks_;
    std::mt19937 rng_;

    QLabel* Image1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* SettingsMenu = nullptr;
    QAction* N[14] = {};
    QAction* PluginsItem_ = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    QSystemTrayIcon* TrayIcon_ = nullptr;
    QTimer* TrayWatch_ = nullptr;  // looks for a tray that was not there when the icon was added
};

// The maker's web address shown by the about window.
inline constexpr const char* kWebAddress = "https://aubadine.example.org/";
