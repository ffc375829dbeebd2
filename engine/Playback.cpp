// Opening, playback control, stream information, sync handling and effects. This first
// version only keeps the engine consistent: nothing is opened yet, so the engine stays in
// standby and every control does nothing.
#include "BASSPlayer.h"

#include "MessageBox.h"

bool TBASSPlayer::Open(const std::string& StreamName)
{
    if (!FBASSReady) {
        ShowMessageBox("Player is not ready !", "Confirm", TMessageIcon::None);
        return false;
    }
    ShowMessageBox("Can't play the specified stream file : " + StreamName, "Confirm", TMessageIcon::None);
    return false;
}

void TBASSPlayer::Play() {}
void TBASSPlayer::Pause() {}
void TBASSPlayer::Resume() {}
void TBASSPlayer::SetPaused(bool Paused)
{
    if (Paused)
        Pause();
    else
        Resume();
}
void TBASSPlayer::Stop() {}
void TBASSPlayer::Restart() {}
uint32_t TBASSPlayer::GetPlayLength()
{
    return 0;
}
uint32_t TBASSPlayer::GetPosition()
{
    return 0;
}
void TBASSPlayer::SetPosition(uint32_t) {}
bool TBASSPlayer::Seekable()
{
    return false;
}
void TBASSPlayer::SetVolume(uint32_t Volume)
{
    FVolume = Volume > 255 ? 255 : Volume;
}
bool TBASSPlayer::GetStreamInfo(const std::string&, TStreamInfo& Info, int& PluginIndex, TDecoderChoice& Decoder)
{
    Info = TStreamInfo{};
    PluginIndex = -1;
    Decoder = dcNone;
    return false;
}
void TBASSPlayer::SetSoundEffects(uint8_t Flags)
{
    FEffectFlags = Flags;
}
void TBASSPlayer::ClearEffectHandles()
{
    FDSPHandle = 0;
}
void TBASSPlayer::TimerTick()
{
    if (FTimer)
        FTimer->SetEnabled(false);
}
void TBASSPlayer::PlayerWndProc(uint32_t, WPARAM, LPARAM) {}
