// Every name each library must export, in binding order.
#pragma once

#include <array>

namespace aubadine::bass::test {

inline constexpr std::array<const char*, 91> kBassNames = {
    "BASS_SetConfig", "BASS_GetConfig", "BASS_GetVersion", "BASS_GetDeviceDescription", "BASS_ErrorGetCode",
    "BASS_Init", "BASS_SetDevice", "BASS_GetDevice", "BASS_Free", "BASS_GetDSoundObject", "BASS_GetInfo",
    "BASS_Update", "BASS_GetCPU", "BASS_Start", "BASS_Stop", "BASS_Pause", "BASS_SetVolume", "BASS_GetVolume",
    "BASS_Set3DFactors", "BASS_Get3DFactors", "BASS_Set3DPosition", "BASS_Get3DPosition", "BASS_Apply3D",
    "BASS_SetEAXParameters", "BASS_GetEAXParameters", "BASS_MusicLoad", "BASS_MusicFree", "BASS_MusicGetName",
    "BASS_MusicGetLength", "BASS_MusicSetAttribute", "BASS_MusicGetAttribute", "BASS_SampleLoad",
    "BASS_SampleCreate", "BASS_SampleCreateDone", "BASS_SampleFree", "BASS_SampleGetInfo", "BASS_SampleSetInfo",
    "BASS_SampleGetChannel", "BASS_SampleStop", "BASS_StreamCreate", "BASS_StreamCreateFile",
    "BASS_StreamCreateURL", "BASS_StreamCreateFileUser", "BASS_StreamFree", "BASS_StreamGetLength",
    "BASS_StreamGetTags", "BASS_StreamGetFilePosition", "BASS_RecordGetDeviceDescription", "BASS_RecordInit",
    "BASS_RecordSetDevice", "BASS_RecordGetDevice", "BASS_RecordFree", "BASS_RecordGetInfo",
    "BASS_RecordGetInputName", "BASS_RecordSetInput", "BASS_RecordGetInput", "BASS_RecordStart",
    "BASS_ChannelBytes2Seconds", "BASS_ChannelSeconds2Bytes", "BASS_ChannelGetDevice", "BASS_ChannelIsActive",
    "BASS_ChannelGetInfo", "BASS_ChannelSetFlags", "BASS_ChannelPreBuf", "BASS_ChannelPlay", "BASS_ChannelStop",
    "BASS_ChannelPause", "BASS_ChannelSetAttributes", "BASS_ChannelGetAttributes", "BASS_ChannelSlideAttributes",
    "BASS_ChannelIsSliding", "BASS_ChannelSet3DAttributes", "BASS_ChannelGet3DAttributes",
    "BASS_ChannelSet3DPosition", "BASS_ChannelGet3DPosition", "BASS_ChannelSetPosition",
    "BASS_ChannelGetPosition", "BASS_ChannelGetLevel", "BASS_ChannelGetData", "BASS_ChannelSetSync",
    "BASS_ChannelRemoveSync", "BASS_ChannelSetDSP", "BASS_ChannelRemoveDSP", "BASS_ChannelSetEAXMix",
    "BASS_ChannelGetEAXMix", "BASS_ChannelSetLink", "BASS_ChannelRemoveLink", "BASS_ChannelSetFX",
    "BASS_ChannelRemoveFX", "BASS_FXSetParameters", "BASS_FXGetParameters"};

inline constexpr std::array<const char*, 14> kWmaNames = {
    "BASS_WMA_StreamCreateFile", "BASS_WMA_StreamCreateFileUser", "BASS_WMA_GetIWMReader",
    "BASS_WMA_EncodeGetRates", "BASS_WMA_EncodeOpen", "BASS_WMA_EncodeOpenFile", "BASS_WMA_EncodeOpenNetwork",
    "BASS_WMA_EncodeOpenPublish", "BASS_WMA_EncodeGetPort", "BASS_WMA_EncodeSetNotify",
    "BASS_WMA_EncodeGetClients", "BASS_WMA_EncodeSetTag", "BASS_WMA_EncodeWrite", "BASS_WMA_EncodeClose"};

inline constexpr std::array<const char*, 19> kCdNames = {
    "BASS_CD_GetDriveDescription", "BASS_CD_GetDriveLetter", "BASS_CD_GetInfo", "BASS_CD_Door",
    "BASS_CD_DoorIsOpen", "BASS_CD_DoorIsLocked", "BASS_CD_IsReady", "BASS_CD_GetTracks",
    "BASS_CD_GetTrackLength", "BASS_CD_GetID", "BASS_CD_Release", "BASS_CD_StreamCreate",
    "BASS_CD_StreamCreateFile", "BASS_CD_StreamGetTrack", "BASS_CD_Analog_Play", "BASS_CD_Analog_PlayFile",
    "BASS_CD_Analog_Stop", "BASS_CD_Analog_IsActive", "BASS_CD_Analog_GetPosition"};

}  // namespace aubadine::bass::test
