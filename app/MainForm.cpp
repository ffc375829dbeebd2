#include "MainForm.h"

#include "Artwork.h"
#include "Settings.h"
#include "System.h"
#include "IniFile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <cstdio>

TForm1::TForm1(QWidget* parent) : QWidget(parent)
{
    BuildComponents();
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

    // The check-mark items are toggled by the toolkit when chosen; nothing else to do.
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
    Player_->OnModeChange = [this](TBASSPlayer* s, TPlayerMode o, TPlayerMode n) { ChangeMode(s, o, n); };
    FSkipAutoNext = false;

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
    Player_->Open(Tracks_[static_cast<size_t>(n - 1)]);
    Player_->Play();
}

void TForm1::ChangeMode(TBASSPlayer*, TPlayerMode OldMode, TPlayerMode NewMode)
{
    if (FSkipAutoNext)
        return;
    if (OldMode != plmPlaying || NewMode != plmStopped)
        return;
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

void TForm1::HideMainWindow()
{
    hide();
}

void TForm1::ShowMainWindow()
{
    show();
    raise();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    shownOnce_ = true;
}

void TForm1::Timer1Timer()
{
    Timer1->stop();
    HideMainWindow();
    AddTrayIcon();
}

void TForm1::AddTrayIcon()
{
    if (!TrayIcon_) {
        TrayIcon_ = new QSystemTrayIcon(ApplicationIcon(), this);
        TrayIcon_->setToolTip(QStringLiteral("Aubadine"));
        // Right click opens the menu; every other click on the icon does nothing.
        TrayIcon_->setContextMenu(PopupMenu1);
    }
    TrayIcon_->show();
}

void TForm1::RemoveTrayIcon()
{
    if (TrayIcon_)
        TrayIcon_->hide();
}

void TForm1::N6Click()
{
    if (Player_)
        Player_->SetPaused(false);
}

void TForm1::N5Click()
{
    if (Player_)
        Player_->SetPaused(true);
}

void TForm1::N8Click()
{
    if (FTrackIndex <= 1)
        return;
    --FTrackIndex;
    UpdateNavigation();
    FSkipAutoNext = true;
    PlayTrack(FTrackIndex);
    FSkipAutoNext = false;
}

void TForm1::N9Click()
{
    if (FTrackIndex >= static_cast<int>(Tracks_.size()))
        return;
    ++FTrackIndex;
    UpdateNavigation();
    FSkipAutoNext = true;
    PlayTrack(FTrackIndex);
    FSkipAutoNext = false;
}

void TForm1::N10Click()
{
    N[10]->setChecked(!N[10]->isChecked());
}

void TForm1::N11Click()
{
    N[11]->setChecked(!N[11]->isChecked());
}

void TForm1::N12Click()
{
    if (Tracks_.empty())
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

void TForm1::N3Click()
{
    FSkipAutoNext = true;
    close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1) {
        if (event->type() == QEvent::Enter)
            Label1->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
        else if (event->type() == QEvent::Leave)
            Label1->setStyleSheet(QStringLiteral("color: rgb(128, 0, 0);"));
        else if (event->type() == QEvent::MouseButtonRelease)
            ShellOpenUrl(kWebAddress);
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    QCoreApplication::quit();
}

void TForm1::FormClose()
{
    if (closed_ || !started_)
        return;
    closed_ = true;
    FSkipAutoNext = true;
    if (Player_)
        Player_->Stop();
    Player_.reset();
    RemoveTrayIcon();
    if (!WriteSettings())
        std::fprintf(stderr, "Lirren: the settings could not be written to %s\n",
                     TSettingsStore().FilePath().c_str());
}
