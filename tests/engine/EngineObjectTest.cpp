// The engine object against the test double of the audio library: construction in its
// failure modes, the device and add-on set-up, the published properties and the mode.
#include "BASSPlayer.h"
#include "FakeBass.h"
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Shown {
    std::string text, caption;
    TMessageIcon icon;
};

class EngineObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake().Reset();
        SetMessageBoxHandler([this](const std::string& t, const std::string& c, TMessageIcon i) {
            shown.push_back({t, c, i});
        });
    }
    void TearDown() override { SetMessageBoxHandler({}); }

    static FakeBassControl& fake() { return *FakeBass_Control(); }
    size_t CallIndex(const std::string& name) const
    {
        auto& calls = FakeBass_Control()->calls;
        return static_cast<size_t>(std::find(calls.begin(), calls.end(), name) - calls.begin());
    }

    std::vector<Shown> shown;
};

TEST_F(EngineObject, AcceptsVersion21AndPreparesTheDevice)
{
    TBASSPlayer player;
    EXPECT_TRUE(player.BASSReady());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(player.BASSDLLVer(), "2.1");
    EXPECT_EQ(player.Version(), "1.7");
    EXPECT_EQ(player.Mode(), plmStandby);
    EXPECT_TRUE(player.DX8EffectReady());
    EXPECT_EQ(fake().initDevice, 1);
    EXPECT_EQ(fake().initFreq, 44100u);
    // The volume scale is set before the device, the global volumes after it.
    EXPECT_LT(CallIndex("BASS_SetConfig(3,255)"), CallIndex("BASS_Init"));
    EXPECT_LT(CallIndex("BASS_Init"), CallIndex("BASS_SetConfig(6,255)"));
    EXPECT_LT(CallIndex("BASS_SetConfig(6,255)"), CallIndex("BASS_SetConfig(5,255)"));
    EXPECT_TRUE(player.WMAReady());
    EXPECT_TRUE(player.CDReady());
}

TEST_F(EngineObject, RefusesEveryVersionButExactly21)
{
    for (uint32_t version : {0x00000002u /* 2.0 */, 0x00020002u /* 2.2 */, 0x00010003u /* 3.1 */}) {
        SCOPED_TRACE(version);
        fake().Reset();
        fake().version = version;
        shown.clear();
        {
            TBASSPlayer player;
            EXPECT_FALSE(player.BASSReady());
            EXPECT_EQ(player.BASSDLLVer(), "");
            EXPECT_FALSE(player.WMAReady());
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, "BASS version is not 2.1 !");
            EXPECT_EQ(shown[0].caption, "Confirm");
            EXPECT_EQ(fake().initCalls, 0);
        }
    }
}

TEST_F(EngineObject, AFailingDeviceLeavesAUsableShellThatRefusesToOpen)
{
    fake().initResult = false;
    fake().initError = 23;
    TBASSPlayer player;
    EXPECT_FALSE(player.BASSReady());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Can't initialize device\r\n(error code: 23)");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].icon, TMessageIcon::Error);
    EXPECT_FALSE(player.WMAReady());
    EXPECT_FALSE(player.CDReady());
    EXPECT_EQ(player.VisThread(), nullptr);

    shown.clear();
    EXPECT_FALSE(player.Open("/music/a.mp3"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Player is not ready !");
    EXPECT_EQ(player.Mode(), plmStandby);
    player.Play();
    player.SetPaused(true);
    player.Stop();
    EXPECT_EQ(player.Mode(), plmStandby);
}

TEST_F(EngineObject, WithoutEffectsLevel8OnlyWarns)
{
    fake().dsver = 7;
    TBASSPlayer player;
    EXPECT_TRUE(player.BASSReady());
    EXPECT_FALSE(player.DX8EffectReady());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "DirectX Ver 8 or higher is not installed.\r\nSound effects except flanger are disabled.");
    EXPECT_EQ(shown[0].caption, "Warning");
}

TEST_F(EngineObject, ListsAtMostEightCDDrivesUpToTheFirstWithoutDescription)
{
    for (int i = 0; i < 9; ++i) {
        fake().cdDrives.push_back("Drive " + std::to_string(i));
        fake().cdLetters.push_back(static_cast<uint32_t>(3 + i));
    }
    {
        TBASSPlayer player;
        EXPECT_EQ(player.CDDriveCount(), 8);
        EXPECT_EQ(player.CDDrive(0), "D: Drive 0");
        EXPECT_EQ(player.CDDrive(7), "K: Drive 7");
    }

    fake().Reset();
    fake().cdDrives = {"Only", std::string(300, 'x')};
    fake().cdLetters = {4, 5};
    TBASSPlayer player;
    EXPECT_EQ(player.CDDriveCount(), 2);
    EXPECT_EQ(player.CDDrive(1).size(), 255u);  // "F: " and the description, cut
}

TEST_F(EngineObject, PropertySettersFollowTheirRules)
{
    TBASSPlayer player;
    player.SetVisScale(255);
    EXPECT_EQ(player.VisScale(), 512);
    player.SetVisScale(1025);
    EXPECT_EQ(player.VisScale(), 512);
    player.SetVisScale(256);
    EXPECT_EQ(player.VisScale(), 256);
    player.SetVisScale(1024);
    EXPECT_EQ(player.VisScale(), 1024);

    player.SetVersion("9.9");
    player.SetBASSDLLVer("9.9");
    player.SetDX8EffectReady(false);
    EXPECT_EQ(player.Version(), "1.7");
    EXPECT_EQ(player.BASSDLLVer(), "2.1");
    EXPECT_TRUE(player.DX8EffectReady());

    player.SetPluginFirst(true);
    EXPECT_TRUE(player.PluginFirst());
    player.SetSyncVisWindow(true);
    EXPECT_TRUE(player.SyncVisWindow());
}

TEST_F(EngineObject, EveryModeChangeIsReportedAlsoToTheSameMode)
{
    TBASSPlayer player;
    std::vector<std::pair<TPlayerMode, TPlayerMode>> seen;
    player.OnModeChange = [&](TBASSPlayer* sender, TPlayerMode o, TPlayerMode n) {
        EXPECT_EQ(sender, &player);
        seen.emplace_back(o, n);
    };
    player.SetMode(plmStandby);
    player.SetMode(plmReady);
    player.SetMode(plmPlaying);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(plmStandby, plmStandby));
    EXPECT_EQ(seen[2], std::make_pair(plmReady, plmPlaying));
    player.OnModeChange = nullptr;
}

TEST_F(EngineObject, DestructionFreesTheDeviceAndUnloadsTheLibraries)
{
    {
        TBASSPlayer player;
        EXPECT_EQ(fake().freeCalls, 0);
    }
    EXPECT_GE(fake().freeCalls, 1);
    EXPECT_EQ(fake().calls.back(), "BASS_Free");
}

}  // namespace
