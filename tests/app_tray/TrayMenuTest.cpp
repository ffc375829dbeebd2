// The splash, the tray icon and the menu commands of the player's shell.
#include "TrayFixture.h"

#include "PluginConfig.h"

#include <QAction>
#include <QDialog>
#include <QTableWidget>
#include <QLabel>
#include <QPushButton>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Everything a menu command could change, to see that a command changes only its part.
struct ShellState {
    std::vector<std::tuple<std::string, bool, bool, bool>> items;  // caption, enabled, checkable, checked
    int track = 0;
    size_t events = 0;
    bool windowVisible = false;
    bool iconVisible = false;

    bool operator==(const ShellState&) const = default;
};

ShellState Snapshot(const TForm1& form, const FakeBassControl& fake)
{
    ShellState s;
    for (int n = 1; n <= 13; ++n) {
        QAction* a = form.MenuItem(n);
        s.items.emplace_back(a->text().toStdString(), a->isEnabled(), a->isCheckable(), a->isChecked());
    }
    s.track = form.TrackIndex();
    s.events = fake.calls.size();
    s.windowVisible = form.isVisible();
    s.iconVisible = form.TrayIcon() && form.TrayIcon()->isVisible();
    return s;
}

}  // namespace

TEST_F(TrayTest, IconAppearsOnlyOnceTheSplashHasGone)
{
    MakePlaylist(3);
    WriteSettingsFile("0", "0");
    Start();

    // During the splash: the picture shows, and there is no icon to right-click.
    EXPECT_TRUE(form_->isVisible());
    EXPECT_FALSE(form_->CloseButton()->isVisible());
    EXPECT_FALSE(form_->WebLabel()->isVisible());
    EXPECT_TRUE(form_->TrayIcon() == nullptr || !form_->TrayIcon()->isVisible());
    QTimer* timer = form_->SplashTimer();
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 1500);

    QSignalSpy fired(timer, &QTimer::timeout);
    ASSERT_TRUE(fired.wait(5000));
    Settle();
    EXPECT_FALSE(form_->isVisible());
    ASSERT_NE(form_->TrayIcon(), nullptr);
    EXPECT_TRUE(form_->TrayIcon()->isVisible());
    EXPECT_EQ(form_->TrayIcon()->toolTip(), QStringLiteral("Aubadine"));
    EXPECT_EQ(form_->TrayIcon()->contextMenu(), form_->PopupMenu());
    EXPECT_FALSE(timer->isActive());
}

TEST_F(TrayTest, MenuHasItsCaptionsInOrder)
{
    MakePlaylist(3);
    WriteSettingsFile("1", "0");
    Start();

    struct Row {
        const char* caption;  // "-" for a separator
        int item;             // N<item>
    };
    const std::vector<Row> top = {{"Настройки", 1},     {"-", 4},          {"Воспроизвести", 6}, {"Пауза", 5},
                                  {"-", 2},             {"Предыдущая", 8}, {"Следующая", 9},     {"Выбрать любую", 12},
                                  {"-", 7},             {"О программе...", 13}, {"Выход", 3}};
    QList<QAction*> actions = form_->PopupMenu()->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(top.size()));
    for (size_t i = 0; i < top.size(); ++i) {
        SCOPED_TRACE(top[i].caption);
        QAction* a = actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(a, form_->MenuItem(top[i].item));
        if (std::string(top[i].caption) == "-")
            EXPECT_TRUE(a->isSeparator());
        else
            EXPECT_EQ(a->text().toStdString(), top[i].caption);
    }
    QMenu* settings = form_->MenuItem(1)->menu();
    ASSERT_NE(settings, nullptr);
    // Shuffle and Panel, then (our addition) the way to the plug-in dialog.
    ASSERT_EQ(settings->actions().size(), 4);
    EXPECT_EQ(settings->actions()[0], form_->MenuItem(10));
    EXPECT_EQ(settings->actions()[1], form_->MenuItem(11));
    EXPECT_TRUE(settings->actions()[2]->isSeparator());
    EXPECT_EQ(settings->actions()[3], form_->PluginsItem());
    EXPECT_EQ(form_->PluginsItem()->text(), QStringLiteral("Модули ввода…"));
    EXPECT_EQ(form_->MenuItem(10)->text(), QStringLiteral("Перетасовка"));
    EXPECT_EQ(form_->MenuItem(11)->text(), QStringLiteral("Панель"));
    // The marks come from the settings; Play and Pause carry none.
    EXPECT_TRUE(form_->MenuItem(10)->isChecked());
    EXPECT_FALSE(form_->MenuItem(11)->isChecked());
    EXPECT_FALSE(form_->MenuItem(5)->isCheckable());
    EXPECT_FALSE(form_->MenuItem(6)->isCheckable());
}

TEST_F(TrayTest, ClicksOtherThanTheRightOneDoNothing)
{
    MakePlaylist(3);
    WriteSettingsFile("0", "0");
    Start();
    form_->Timer1Timer();
    Settle();
    ASSERT_NE(form_->TrayIcon(), nullptr);
    ShellState before = Snapshot(*form_, *fake_);
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick,
                        QSystemTrayIcon::Unknown}) {
        emit form_->TrayIcon()->activated(reason);
        Settle();
        EXPECT_FALSE(form_->PopupMenu()->isVisible()) << reason;
        EXPECT_EQ(Snapshot(*form_, *fake_), before) << reason;
    }
}

// "Панель" only flips its mark; the mark is what is saved. Both starting values.
TEST_F(TrayTest, PanelChangesOnlyItsMarkAndTheSavedValue)
{
    for (bool initially : {false, true}) {
        SCOPED_TRACE(initially);
        messages_.clear();
        MakePlaylist(4);
        WriteSettingsFile("1", initially ? "1" : "0");
        Start();
        form_->Timer1Timer();
        Settle();

        ShellState before = Snapshot(*form_, *fake_);
        form_->N11Click();
        Settle();
        ShellState after = Snapshot(*form_, *fake_);
        std::get<3>(before.items[10]) = !initially;  // N11's mark, and nothing else
        EXPECT_EQ(after, before);
        EXPECT_EQ(form_->MenuItem(11)->isChecked(), !initially);

        // Choosing the item from the menu does the same as the command.
        form_->MenuItem(11)->trigger();
        EXPECT_EQ(form_->MenuItem(11)->isChecked(), initially);
        form_->MenuItem(11)->trigger();

        form_->N3Click();
        EXPECT_EQ(Setting("Panel"), initially ? "0" : "1");
        EXPECT_EQ(Setting("Shuffle"), "1");
        form_.reset();
    }
}

TEST_F(TrayTest, AboutShowsTheWindowAgainWithButtonAndAddress)
{
    MakePlaylist(3);
    WriteSettingsFile("0", "0");
    Start();
    QPoint centred = form_->pos();
    form_->Timer1Timer();
    Settle();
    ASSERT_FALSE(form_->isVisible());

    form_->N13Click();
    Settle();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_TRUE(form_->CloseButton()->isVisible());
    EXPECT_TRUE(form_->WebLabel()->isVisible());
    EXPECT_EQ(form_->CloseButton()->text(), QStringLiteral("Закрыть"));
    EXPECT_EQ(form_->WebLabel()->text().toStdString(), kWebAddress);
    EXPECT_EQ(form_->pos(), centred);

    form_->CloseButton()->click();
    Settle();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_FALSE(form_->Closed());  // "Закрыть" only hides the window
    form_->N13Click();
    EXPECT_TRUE(form_->CloseButton()->isVisible());
    EXPECT_EQ(form_->pos(), centred);
}

// ---- commands that play: they need the engine to play tracks ----

TEST_F(TrayTest, PreviousAndNextDisableTheirItemAtTheEnds)
{
    MakePlaylist(4);
    WriteSettingsFile("0", "0");
    Start();
    REQUIRE_PLAYBACK();

    struct Case {
        const char* name;
        int from;
        bool next;
        int to;
        bool previousEnabled;
        bool nextEnabled;
    };
    for (const Case& c : {Case{"Previous at 2", 2, false, 1, false, true},
                          Case{"Next at the next-to-last", 3, true, 4, true, false},
                          Case{"Previous at the last", 4, false, 3, true, true},
                          Case{"Next at 1", 1, true, 2, true, true}}) {
        SCOPED_TRACE(c.name);
        GoTo(c.from);
        ASSERT_EQ(form_->TrackIndex(), c.from);
        size_t opened = Opened().size();
        c.next ? form_->N9Click() : form_->N8Click();
        Settle();
        EXPECT_EQ(form_->TrackIndex(), c.to);
        EXPECT_EQ(form_->MenuItem(8)->isEnabled(), c.previousEnabled);
        EXPECT_EQ(form_->MenuItem(9)->isEnabled(), c.nextEnabled);
        ASSERT_EQ(Opened().size(), opened + 1);
        EXPECT_EQ(Opened().back(), Track(c.to));
        EXPECT_TRUE(Playing());
    }
}

// Previous, Next and Random replace the playing track; the replaced track does not count
// as finished, so exactly one track is opened. A track ending by itself moves on once.
TEST_F(TrayTest, CommandsReplaceAPlayingTrackWithoutASecondMove)
{
    MakePlaylist(4);
    WriteSettingsFile("0", "0");
    Start();
    REQUIRE_PLAYBACK();

    struct Case {
        const char* name;
        void (*act)(TForm1&);
        int expectedTrack;  // 0: any
    };
    const Case cases[] = {
        {"Previous", [](TForm1& f) { f.N8Click(); }, 1},
        {"Next", [](TForm1& f) { f.N9Click(); }, 3},
        {"Random", [](TForm1& f) { f.N12Click(); }, 0},
        {"Previous from the menu", [](TForm1& f) { f.MenuItem(8)->trigger(); }, 1},
        {"Next from the menu", [](TForm1& f) { f.MenuItem(9)->trigger(); }, 3},
        {"the track ends by itself", [](TForm1& f) { ASSERT_TRUE(FakeBass_EndChannel(f.Player()->Channel())); }, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GoTo(2);
        ASSERT_TRUE(Playing());
        size_t opened = Opened().size();
        uint32_t replaced = Channel();
        c.act(*form_);
        Settle();
        ASSERT_EQ(Opened().size(), opened + 1) << "one track opened, no second move";
        if (c.expectedTrack != 0) {
            EXPECT_EQ(form_->TrackIndex(), c.expectedTrack);
        }
        EXPECT_EQ(Opened().back(), Track(form_->TrackIndex()));
        EXPECT_TRUE(Playing());
        // The replaced channel is gone and cannot end later.
        EXPECT_FALSE(Exists(replaced));
        EXPECT_FALSE(form_->SkipAutoNext());
    }
}

TEST_F(TrayTest, PauseAndPlayFollowTheEngineMode)
{
    MakePlaylist(2);
    WriteSettingsFile("0", "0");
    Start();
    REQUIRE_PLAYBACK();
    size_t opened = Opened().size();
    form_->N5Click();
    EXPECT_EQ(form_->Player()->Mode(), plmPaused);
    form_->N5Click();  // not playing: nothing
    EXPECT_EQ(form_->Player()->Mode(), plmPaused);
    form_->N6Click();
    EXPECT_EQ(form_->Player()->Mode(), plmPlaying);
    form_->N6Click();  // not paused: nothing, and no restart
    EXPECT_EQ(form_->Player()->Mode(), plmPlaying);
    EXPECT_EQ(Opened().size(), opened);
    EXPECT_EQ(messages_.size(), 0u) << Messages();
}

TEST_F(TrayTest, InputPluginsItemOpensThePluginDialog)
{
    MakePlaylist(2);
    WriteSettingsFile("0", "0");
    Start();
    form_->PluginsItem()->trigger();
    TPluginConfigForm* dialog = form_->Player()->PluginConfigForm();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->Window(), nullptr);
    EXPECT_TRUE(dialog->Window()->isVisible());
    EXPECT_EQ(dialog->Window()->windowTitle(), QStringLiteral("Input plug-in Configuration"));
    // The test plug-ins beside this program are listed, the first one selected; none loaded.
    EXPECT_GE(dialog->DetectedCount(), 1);
    EXPECT_TRUE(dialog->DetectedList()->isEnabled());
    EXPECT_TRUE(dialog->LoadButton()->isEnabled());
    EXPECT_EQ(dialog->LoadedCount(), 0);
    dialog->btnCloseClick();
    EXPECT_FALSE(dialog->Window()->isVisible());
}

// "Пауза" and "Воспроизвести" chosen between a track's end and the engine handling it:
// whatever the order, the player goes on to the next track (at once, or when
// "Воспроизвести" is chosen after a pause that came too late to hold the track).
TEST_F(TrayTest, PauseAndPlayAroundATrackEndNeverSilenceThePlayer)
{
    struct Case {
        const char* name;
        std::vector<int> before;  // menu items chosen after the end, before it is handled
        std::vector<int> after;   // and after it has been handled
        bool moved;               // on the next track once the end has been handled
    };
    const Case cases[] = {
        {"Пауза", {5}, {}, false},
        {"Пауза twice", {5, 5}, {}, false},
        {"Пауза, then Воспроизвести", {5, 6}, {}, true},
        {"Воспроизвести", {6}, {}, true},
        {"Пауза, then Пауза after the end", {5}, {5}, false},
    };
    MakePlaylist(3);
    WriteSettingsFile("0", "0");
    Start();
    REQUIRE_PLAYBACK();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GoTo(1);
        ASSERT_TRUE(Playing());
        size_t opened = Opened().size();
        ASSERT_TRUE(FakeBass_EndChannel(Channel()));  // the end is posted, not yet handled
        for (int item : c.before)
            form_->MenuItem(item)->trigger();
        Settle();
        for (int item : c.after)
            form_->MenuItem(item)->trigger();
        Settle();
        EXPECT_EQ(Opened().size(), opened + (c.moved ? 1 : 0));
        if (!c.moved) {
            EXPECT_FALSE(Playing()) << "the pause holds";
            form_->MenuItem(6)->trigger();  // "Воспроизвести"
            Settle();
        }
        EXPECT_TRUE(Playing());
        ASSERT_EQ(Opened().size(), opened + 1) << "one move to the next track";
        EXPECT_EQ(form_->TrackIndex(), 2);
        EXPECT_EQ(Opened().back(), Track(2));
        // The next track plays on as usual: "Пауза" and "Воспроизвести" act on it.
        form_->N5Click();
        EXPECT_EQ(form_->Player()->Mode(), plmPaused);
        form_->N6Click();
        EXPECT_TRUE(Playing());
        EXPECT_EQ(Opened().size(), opened + 1);
    }
    EXPECT_TRUE(messages_.empty()) << Messages();
}
