// libbasscd.so: audio CDs in the machine's optical drives (through libcdio, and
// libcdio-paranoia for reading) and disc images in the folder named by
// AUBADINE_CD_IMAGES, each image one more drive. Tracks play as channels of libbass.so.
// Analog playback is not offered (BASS_ERROR_NOTAVAIL): drives today have no analog
// output path.
#include "basscd.h"

#include "CBoundary.h"
#include "CdStream.h"
#include "Disc.h"
#include "Drives.h"

#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <string>

using namespace aubadine::bass;
using namespace aubadine::basscd;

namespace {

// Doors this library locked, per drive (the drive itself cannot be asked).
std::array<std::atomic<bool>, kMaxDrives> lockedDoors{};

Toc tocOf(DWORD drive) {
    auto disc = openDisc(driveAt(drive));
    return readToc(disc.get());
}

// "D:\Track01.cda", "d:/track01.cda": the drive with that letter and the track (0 = the
// number 1 in the name). BASS_ERROR_FILEOPEN for a name of another shape,
// BASS_ERROR_DEVICE for a letter without a drive.
void parseTrackFile(const char* file, uint32_t& drive, uint32_t& track) {
    if (!file) fail(BASS_ERROR_FILEOPEN);
    const std::string name(file);
    if (name.size() < 4 || !std::isalpha(static_cast<unsigned char>(name[0])) || name[1] != ':' ||
        (name[2] != '\\' && name[2] != '/'))
        fail(BASS_ERROR_FILEOPEN);
    const size_t slash = name.find_last_of("\\/");
    std::string base = name.substr(slash + 1);
    if (base.size() < 5 || strcasecmp(base.c_str() + base.size() - 4, ".cda") != 0) fail(BASS_ERROR_FILEOPEN);
    base.resize(base.size() - 4);
    size_t digits = base.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(base[digits - 1]))) --digits;
    if (digits == base.size() || base.size() - digits > 3) fail(BASS_ERROR_FILEOPEN);
    const int number = std::stoi(base.substr(digits));
    if (number < 1) fail(BASS_ERROR_CDTRACK);
    const int found = driveWithLetter(static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(name[0])) - 'A'));
    if (found < 0) fail(BASS_ERROR_DEVICE);
    drive = static_cast<uint32_t>(found);
    track = static_cast<uint32_t>(number - 1);
}

// An open handle on a real drive, for the door calls; images have no door.
CdioHandle openDrive(const Drive& d) {
    CdIo_t* p = cdio_open(d.device.c_str(), DRIVER_DEVICE);
    if (!p) fail(BASS_ERROR_DEVICE);
    return CdioHandle(p);
}

thread_local std::string idText;  // BASS_CD_GetID's answer, valid until the thread's next call

}  // namespace

extern "C" {

BASSDEF const char* BASS_CD_GetDriveDescription(DWORD drive) {
    return boundary<const char*>(nullptr, [&] { return driveAt(drive).description.c_str(); });
}

BASSDEF DWORD BASS_CD_GetDriveLetter(DWORD drive) {
    return boundary<DWORD>(DWORD(-1), [&] { return driveAt(drive).letter; });
}

BASSDEF BOOL BASS_CD_GetInfo(DWORD drive, BASS_CD_INFO* info) {
    return boundary<BOOL>(FALSE, [&] {
        const Drive& d = driveAt(drive);
        if (!info) fail(BASS_ERROR_ILLPARAM);
        *info = BASS_CD_INFO{};
        if (!d.isImage()) {
            auto p = openDrive(d);
            cdio_drive_read_cap_t read = 0;
            cdio_drive_write_cap_t write = 0;
            cdio_drive_misc_cap_t misc = 0;
            cdio_get_drive_cap(p.get(), &read, &write, &misc);
            info->flags = static_cast<DWORD>(read);
            info->canopen = (misc & CDIO_DRIVE_CAP_MISC_EJECT) ? TRUE : FALSE;
            info->canlock = (misc & CDIO_DRIVE_CAP_MISC_LOCK) ? TRUE : FALSE;
        }
        return TRUE;
    });
}

BASSDEF BOOL BASS_CD_Door(DWORD drive, DWORD action) {
    return boundary<BOOL>(FALSE, [&] {
        const Drive& d = driveAt(drive);
        if (action > BASS_CD_DOOR_UNLOCK) fail(BASS_ERROR_ILLPARAM);
        if (d.isImage()) {
            // An image's door is always closed and unlocked.
            if (action == BASS_CD_DOOR_OPEN || action == BASS_CD_DOOR_LOCK) fail(BASS_ERROR_NOTAVAIL);
            return TRUE;
        }
        driver_return_code_t rc = DRIVER_OP_ERROR;
        switch (action) {
        case BASS_CD_DOOR_CLOSE: rc = cdio_close_tray(d.device.c_str(), nullptr); break;
        case BASS_CD_DOOR_OPEN: rc = cdio_eject_media_drive(d.device.c_str()); break;
        default: {
            const bool lock = action == BASS_CD_DOOR_LOCK;
            auto p = openDrive(d);
            rc = mmc_prevent_allow_medium_removal(p.get(), false, lock, 0);
            if (rc == DRIVER_OP_SUCCESS) lockedDoors[drive] = lock;
        }
        }
        if (rc != DRIVER_OP_SUCCESS) fail(BASS_ERROR_NOTAVAIL);
        return TRUE;
    });
}

BASSDEF BOOL BASS_CD_DoorIsOpen(DWORD drive) {
    return boundary<BOOL>(FALSE, [&] {
        const Drive& d = driveAt(drive);
        if (d.isImage()) return FALSE;
        auto p = openDrive(d);
        return mmc_get_tray_status(p.get()) == 1 ? TRUE : FALSE;
    });
}

BASSDEF BOOL BASS_CD_DoorIsLocked(DWORD drive) {
    return boundary<BOOL>(FALSE, [&] {
        driveAt(drive);
        return lockedDoors[drive].load() ? TRUE : FALSE;
    });
}

BASSDEF BOOL BASS_CD_IsReady(DWORD drive) {
    return boundary<BOOL>(FALSE, [&] {
        tocOf(drive);
        return TRUE;
    });
}

BASSDEF DWORD BASS_CD_GetTracks(DWORD drive) {
    return boundary<DWORD>(DWORD(-1), [&] { return static_cast<DWORD>(tocOf(drive).tracks.size()); });
}

BASSDEF DWORD BASS_CD_GetTrackLength(DWORD drive, DWORD track) {
    return boundary<DWORD>(DWORD(-1), [&] {
        const Toc toc = tocOf(drive);
        return trackOf(toc, track, true).sectors * kSectorBytes;
    });
}

BASSDEF const char* BASS_CD_GetID(DWORD drive, DWORD id) {
    return boundary<const char*>(nullptr, [&]() -> const char* {
        const Drive& d = driveAt(drive);
        auto disc = openDisc(d);
        const Toc toc = readToc(disc.get());
        switch (id) {
        case BASS_CDID_UPC: {
            char* mcn = cdio_get_mcn(disc.get());
            std::string text = mcn ? mcn : "";
            cdio_free(mcn);
            if (text.empty() || text.find_first_not_of('0') == std::string::npos) fail(BASS_ERROR_NOTAVAIL);
            idText = text;
            break;
        }
        case BASS_CDID_CDDB: idText = cddbId(toc); break;
        case BASS_CDID_CDDB2: idText = cddbQuery(toc); break;
        case BASS_CDID_MUSICBRAINZ: idText = musicBrainzId(toc); break;
        default: fail(BASS_ERROR_ILLTYPE);
        }
        return idText.c_str();
    });
}

BASSDEF BOOL BASS_CD_Release(DWORD drive) {
    return boundary<BOOL>(FALSE, [&] {
        // Nothing is held between calls; each call and each stream opens the disc itself.
        driveAt(drive);
        return TRUE;
    });
}

BASSDEF HSTREAM BASS_CD_StreamCreate(DWORD drive, DWORD track, DWORD flags) {
    return boundary<HSTREAM>(0, [&] { return createCdStream(drive, track, flags); });
}

BASSDEF HSTREAM BASS_CD_StreamCreateFile(const char* file, DWORD flags) {
    return boundary<HSTREAM>(0, [&] {
        uint32_t drive = 0, track = 0;
        parseTrackFile(file, drive, track);
        return createCdStream(drive, track, flags);
    });
}

BASSDEF DWORD BASS_CD_StreamGetTrack(HSTREAM handle) {
    return boundary<DWORD>(DWORD(-1), [&] { return streamTrack(handle); });
}

BASSDEF BOOL BASS_CD_Analog_Play(DWORD, DWORD, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_CD_Analog_PlayFile(const char*, DWORD) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_CD_Analog_Stop(DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_CD_Analog_IsActive(DWORD) { return unavailable<DWORD>(0); }
BASSDEF DWORD BASS_CD_Analog_GetPosition(DWORD) { return unavailable<DWORD>(DWORD(-1)); }

}  // extern "C"
