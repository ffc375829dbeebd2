#include "MainForm.h"

#include "Artwork.h"
#include "DesktopWindow.h"
#include "MessageBox.h"
#include "MessageWindow.h"
#include "Settings.h"
#include "System.h"
#include "IniFile.h"
#include "MessageWindow.h"
#include "PluginConfig.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <cstdio>

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    BuildComponents();
    // Whatever makes the application's event loop end, the close sequence has run by the
    // time it has returned.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { ApplicationQuitting(); });
}

TForm1::~TForm1()
{
    FormClose();
}

void TForm1::BuildComponents()
{
    // A borderless 300 x 200 picture window that never gets a taskbar button.
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    setFixedSize(300, 200);
    setWindowTitle(QStringLiteral("Velkor Aubadine"));
    setWindowIcon(ApplicationIcon());
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 300, 200);
    Image1->setPixmap(ProductPicture());

    Button1 = new QPushButton(QStringLiteral("Закрыть"), this);
    Button1->setGeometry(216, 168, 75, 25);
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    Label1 = new QLabel(QString::fromLatin1(kWebAddress), this);
    Label1->setGeometry(8, 160, 115, 13);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setStyleSheet(QStringLiteral("color: rgb(128, 0, 0);"));
    Label1->adjustSize();
    Label1->hide();
    Label1->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1500);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    PopupMenu1 = new QMenu(this);
    SettingsMenu = PopupMenu1->addMenu(QStringLiteral("Настройки"));
    N[1] = SettingsMenu->menuAction();
    N[10] = SettingsMenu->addAction(QStringLiteral("Перетасовка"));
    N[11] = SettingsMenu->addAction(QStringLiteral("Панель"));
    N[10]->setCheckable(true);
    N[11]->setCheckable(true);
    // Not in the original menu: the only way to the plug-in dialog.
    SettingsMenu->addSeparator();
    PluginsItem_ = SettingsMenu->addAction(QStringLiteral("Модули ввода…"));
    connect(PluginsItem_, &QAction::triggered, this, [this] { PluginsClick(); });
    N[4] = PopupMenu1->addSeparator();
    N[6] = PopupMenu1->addAction(QStringLiteral("Воспроизвести"));
    N[5] = PopupMenu1->addAction(QStringLiteral("Пауза"));
    N[2] = PopupMenu1->addSeparator();
    N[8] = PopupMenu1->addAction(QStringLiteral("Предыдущая"));
    N[9] = PopupMenu1->addAction(QStringLiteral("Следующая"));
    N[12] = PopupMenu1->addAction(QStringLiteral("Выбрать любую"));
    N[7] = PopupMenu1->addSeparator();
    N[13] = PopupMenu1->addAction(QStringLiteral("О программе..."));
    N[3] = PopupMenu1->addAction(QStringLiteral("Выход"));
    N[8]->setEnabled(false);

    // Choosing a check-mark item toggles its mark (the toolkit does what N10Click and
    // N11Click do); nothing else depends on the choice at that moment.
    connect(N[6], &QAction::triggered, this, [this] { N6Click(); });
    connect(N[5], &QAction::triggered, this, [this] { N5Click(); });
    connect(N[8], &QAction::triggered, this, [this] { N8Click(); });
    connect(N[9], &QAction::triggered, this, [this] { N9Click(); });
    connect(N[12], &QAction::triggered, this, [this] { N12Click(); });
    connect(N[13], &QAction::triggered, this, [this] { N13Click(); });
    connect(N[3], &QAction::triggered, this, [this] { N3Click(); });
}

QAction* TForm1::MenuItem(int n) const
{
    return (n >= 1 && n <= 13) ? N[n] : nullptr;
}

int TForm1::Random(int N_)
{
    if (N_ <= 0)
        return 0;
    return std::uniform_int_distribution<int>(0, N_ - 1)(rng_);
}

// ---- start-up, playlist and track selection ----

void TForm1::ReadSettings()
{
    TSettingsStore store;
    std::string cwd = CurrentDirectory();
    std::string path = store.ReadString("Path").value_or(cwd);
    if (path.empty() || !DirectoryExists(path))
        path = cwd;
    FPath = path;
    N[10]->setChecked(ReadBoolSetting(store, "Shuffle", false));
    N[11]->setChecked(ReadBoolSetting(store, "Panel", false));
}

bool TForm1::WriteSettings()
{
    TSettingsStore store;
    bool ok = store.WriteString("Shuffle", N[10]->isChecked() ? "1" : "0");
    ok = store.WriteString("Panel", N[11]->isChecked() ? "1" : "0") && ok;
    return ok;
}

bool TForm1::FormCreate()
{
    // 1, 2. Settings; the generator is seeded once, from the time.
    ReadSettings();
    SeedRandom(SeedSource ? SeedSource()
                          : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));

    // 3, 4. The engine; the shell goes on even when it could not initialise.
    Player_ = std::make_unique<TBASSPlayer>();
    Player_->OnModeChange = [this](TBASSPlayer* s, TPlayerMode o, TPlayerMode n) {
        ChangeMode(s, o, n);
        if (OnPlayerModeChange)
            OnPlayerModeChange(o, n);
    };
    FSkipAutoNext = false;
    LoadPluginsForTests();

    // 5. Centre on the whole virtual desktop.
    CenterOnDesktop();

    // 6, 7. The playlist's track keys, in file order.
    Tracks_.clear();
    TIniFile ini(ResolveFileNameCase(FPath + "/Playlist.ini"));
    Tracks_ = ini.ReadSection("Default");

    // 8. Nothing to play: start the playlist editor and end.
    if (Tracks_.empty()) {
        ShellExecuteOpen(FPath + "/Listora", "", FPath);
        return false;
    }

    // 9, 10. Full paths: MainPath followed directly by each value.
    std::string mainPath = ini.ReadString("Main", "MainPath", "");
    for (auto& entry : Tracks_)
        entry = mainPath + ini.ReadString("Default", entry, "");

    // 12. The first track: two draws, in this order.
    int count = static_cast<int>(Tracks_.size());
    int a = Random(3 * count);
    int b = Random(2 * count);
    FTrackIndex = (a + b) % count + 1;

    // 13, 14.
    UpdateNavigation();
    PlayTrack(FTrackIndex);
    Timer1->start();
    started_ = true;
    return true;
}

void TForm1::PluginsClick()
{
    if (TPluginConfigForm* form = Player_ ? Player_->PluginConfigForm() : nullptr)
        form->Show();
}

// Test hook for the end-to-end tests (docs/plugins.md): AUBADINE_TEST_PLUGINS names plug-in
// files separated by commas; they are loaded through the plug-in dialog as a person would
// (the dialog stays open), and AUBADINE_TEST_PLUGIN_FIRST=1 then ticks "Plugin First".
void TForm1::LoadPluginsForTests()
{
    const char* names = std::getenv("AUBADINE_TEST_PLUGINS");
    TPluginConfigForm* form = Player_ ? Player_->PluginConfigForm() : nullptr;
    if (!names || !*names || !form)
        return;
    form->Show();
    std::stringstream list(names);
    for (std::string name; std::getline(list, name, ',');) {
        if (form->SelectDetected(name))
            form->btnLoadClick();
    }
    const char* first = std::getenv("AUBADINE_TEST_PLUGIN_FIRST");
    if (first && std::string(first) == "1" && !form->PluginFirstBox()->isChecked()) {
        form->PluginFirstBox()->setChecked(true);
        form->PluginFirstClick();
    }
    ProcessMessages();  // the engine takes "Plugin First" before the first track opens
}

void TForm1::CenterOnDesktop()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect desktop = screen->virtualGeometry();
    move(desktop.x() + desktop.width() / 2 - width() / 2, desktop.y() + desktop.height() / 2 - height() / 2);
}

int TForm1::RandomTrack()
{
    return Random(static_cast<int>(Tracks_.size())) + 1;
}

void TForm1::UpdateNavigation()
{
    N[8]->setEnabled(FTrackIndex > 1);
    N[9]->setEnabled(FTrackIndex < static_cast<int>(Tracks_.size()));
}

void TForm1::PlayTrack(int n)
{
    if (!Player_ || n < 1 || n > static_cast<int>(Tracks_.size()))
        return;
    FEndedInPause = false;
    FStoppedOnRequest = false;
    Player_->Open(Tracks_[static_cast<size_t>(n - 1)]);
    // A failed open has shown a box, whose event loop handled other messages meanwhile.
    if (Player_)
        Player_->Play();
}

void TForm1::ChangeMode(TBASSPlayer*, TPlayerMode OldMode, TPlayerMode NewMode)
{
    if (FSkipAutoNext)
        return;
    // The end of a track that was already on its way when "Пауза" came: the track is over,
    // and the engine, stopped, would ignore "Воспроизвести". The pause is kept; the next
    // track follows when "Воспроизвести" is chosen (N6Click).
    if (OldMode == plmPaused && NewMode == plmStopped) {
        FEndedInPause = true;
        return;
    }
    if (OldMode != plmPlaying || NewMode != plmStopped)
        return;
    MoveOnAfterTrackEnd();
}

void TForm1::MoveOnAfterTrackEnd()
{
    int count = static_cast<int>(Tracks_.size());
    if (count == 0)
        return;
    if (N[10]->isChecked())
        FTrackIndex = RandomTrack();
    else
        FTrackIndex = FTrackIndex % count + 1;
    UpdateNavigation();
    PlayTrack(FTrackIndex);
}

// ---- window, tray icon and menu ----

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TForm1::FormShow()
{
    // The toolkit sends the show event before it maps the window, which is when the
    // desktop reads the taskbar marks. There is no separate application window to hide:
    // this window is the only one, and it stays out of the taskbar by itself.
    KeepOutOfTaskbar(this);
}

void TForm1::HideMainWindow()
{
    hide();
}

void TForm1::ShowMainWindow()
{
    // The position is the centre that start-up chose; it is kept across hide and show, so
    // the window comes back there with or without a window manager.
    show();
    raise();
    activateWindow();
}

void TForm1::Timer1Timer()
{
    Timer1->stop();
    HideMainWindow();
    AddTrayIcon();
}

void TForm1::AddTrayIcon()
{
    if (closed_)
        return;
    if (!TrayIcon_) {
        TrayIcon_ = new QSystemTrayIcon(ApplicationIcon(), this);
        TrayIcon_->setToolTip(QStringLiteral("Aubadine"));
        // The menu opens on a right click (the tray host or the toolkit shows it at the
        // pointer). Left, middle and double clicks are not connected: they do nothing.
        TrayIcon_->setContextMenu(PopupMenu1);
    }
    TrayIcon_->show();
    // A session started at log-on may run before its panel is up. Without a tray the
    // player goes on without the icon, and adds it as soon as a tray appears.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!TrayWatch_) {
            TrayWatch_ = new QTimer(this);
            TrayWatch_->setInterval(1000);
            connect(TrayWatch_, &QTimer::timeout, this, [this] { RetryTrayIcon(); });
        }
        TrayWatch_->start();
    }
}

void TForm1::RetryTrayIcon()
{
    if (!TrayIcon_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    TrayWatch_->stop();
    // Hiding and showing again makes the toolkit look for the tray anew.
    TrayIcon_->hide();
    TrayIcon_->show();
}

void TForm1::RemoveTrayIcon()
{
    if (TrayWatch_)
        TrayWatch_->stop();
    if (TrayIcon_)
        TrayIcon_->hide();
}

void TForm1::N6Click()
{
    if (!Player_)
        return;
    if (FEndedInPause && Player_->Mode() == plmStopped) {
        FEndedInPause = false;
        MoveOnAfterTrackEnd();
        return;
    }
    if (FStoppedOnRequest && Player_->Mode() == plmStopped) {
        // Stopped through the desktop's remote control: the track starts again.
        FStoppedOnRequest = false;
        Player_->Play();
        return;
    }
    Player_->SetPaused(false);
}

void TForm1::N5Click()
{
    if (Player_)
        Player_->SetPaused(true);
}

void TForm1::N8Click()
{
    if (FTrackIndex <= 1 || Closing())
        return;
    --FTrackIndex;
    UpdateNavigation();
    FSkipAutoNext = true;
    PlayTrack(FTrackIndex);
    FSkipAutoNext = false;
}

void TForm1::N9Click()
{
    if (FTrackIndex >= static_cast<int>(Tracks_.size()) || Closing())
        return;
    ++FTrackIndex;
    UpdateNavigation();
    FSkipAutoNext = true;
    PlayTrack(FTrackIndex);
    FSkipAutoNext = false;
}

void TForm1::N10Click()
{
    N[10]->toggle();
}

void TForm1::N11Click()
{
    N[11]->toggle();
}

void TForm1::N12Click()
{
    if (Tracks_.empty() || Closing())
        return;
    FTrackIndex = RandomTrack();
    UpdateNavigation();
    PlayTrack(FTrackIndex);
}

void TForm1::N13Click()
{
    ShowMainWindow();
    Button1->show();
    Label1->show();
}

void TForm1::Button1Click()
{
    HideMainWindow();
}

void TForm1::Label1Click()
{
    // Whether the desktop could open the address is not looked at.
    ShellOpenUrl(kWebAddress);
}

void TForm1::Label1MouseEnter()
{
    Label1->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
}

void TForm1::Label1MouseLeave()
{
    Label1->setStyleSheet(QStringLiteral("color: rgb(128, 0, 0);"));
}

void TForm1::StopPlayback()
{
    if (!Player_ || Closing())
        return;
    // The engine stops only a playing track: a paused one is resumed for the stop.
    if (Player_->Mode() == plmPaused)
        Player_->Resume();
    FSkipAutoNext = true;  // this stop is not the end of a track
    Player_->Stop();
    FSkipAutoNext = false;
    FStoppedOnRequest = Player_->Mode() == plmStopped;
}

void TForm1::N3Click()
{
    FSkipAutoNext = true;
    close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1) {
        if (event->type() == QEvent::Enter)
            Label1MouseEnter();
        else if (event->type() == QEvent::Leave)
            Label1MouseLeave();
        else if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            Label1Click();
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // Any close request (Exit, the window manager's close, a signal) ends the program.
    event->accept();
    if (started_ && !closed_ && InNestedMessageLoop()) {
        // A message box (or a wait that handles messages) runs its own round of messages,
        // with engine code below it on the stack: a failed track change shows its box from
        // inside the engine's window procedure. Destroying the engine now would pull it
        // from under that code. Every event loop is told to return instead, no further
        // track starts, and the close sequence runs once they all have returned
        // (ApplicationQuitting).
        closeDeferred_ = true;
        FSkipAutoNext = true;
        Timer1->stop();
        QCoreApplication::exit(0);
        return;
    }
    FormClose();
    QCoreApplication::quit();
}

void TForm1::EndSession()
{
    sessionEnding_ = true;
    close();
}

void TForm1::ApplicationQuitting()
{
    // A close that waited for the nested event loops runs now, as it was asked for (a
    // failure to save is shown after Exit); any other end of the event loop is the
    // desktop's session manager ending the program.
    if (!closeDeferred_)
        sessionEnding_ = true;
    FormClose();
    hide();
}

void TForm1::FormClose()
{
    if (closed_ || !started_)
        return;
    closed_ = true;
    Timer1->stop();
    // 1. The stop below is not the end of a track.
    FSkipAutoNext = true;
    // 2, 3. Stop, then destroy the engine (it waits for the sound to drain and frees the
    // audio library). The pointer is empty before the engine goes, so a menu command
    // handled while it drains finds no engine.
    if (Player_)
        Player_->Stop();
    std::unique_ptr<TBASSPlayer> player = std::move(Player_);
    player.reset();
    // 4. The icon.
    RemoveTrayIcon();
    // 5. The settings. A failure is reported; the program ends all the same.
    if (!WriteSettings()) {
        std::string where = TSettingsStore().FilePath();
        std::fprintf(stderr, "Lirren: the settings could not be written to %s\n", where.c_str());
        if (!sessionEnding_)
            ShowMessageBox("Настройки не сохранены: не удалось записать файл " + where, "Warning",
                           TMessageIcon::Warning);
    }
}
