// libbasswma.so. Reading Windows Media files and streams comes with the network issue; until
// then every name binds and answers failure with BASS_ERROR_NOTAVAIL.
#include "basswma.h"

#include "CBoundary.h"

using namespace aubadine::bass;

extern "C" {

BASSDEF HSTREAM BASS_WMA_StreamCreateFile(BOOL, const void*, DWORD, DWORD, DWORD) { return unavailable<HSTREAM>(0); }
BASSDEF HSTREAM BASS_WMA_StreamCreateFileUser(BOOL, DWORD, STREAMFILEPROC*, void*) { return unavailable<HSTREAM>(0); }
BASSDEF void* BASS_WMA_GetIWMReader(HSTREAM) { return unavailable<void*>(nullptr); }
BASSDEF const DWORD* BASS_WMA_EncodeGetRates(DWORD, DWORD, DWORD) { return unavailable<const DWORD*>(nullptr); }
BASSDEF HWMENCODE BASS_WMA_EncodeOpen(DWORD, DWORD, DWORD, DWORD, WMENCODEPROC*, void*) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF HWMENCODE BASS_WMA_EncodeOpenFile(DWORD, DWORD, DWORD, DWORD, const char*) { return unavailable<HWMENCODE>(0); }
BASSDEF HWMENCODE BASS_WMA_EncodeOpenNetwork(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF HWMENCODE BASS_WMA_EncodeOpenPublish(DWORD, DWORD, DWORD, DWORD, const char*, const char*, const char*) {
    return unavailable<HWMENCODE>(0);
}
BASSDEF DWORD BASS_WMA_EncodeGetPort(HWMENCODE) { return unavailable<DWORD>(0); }
BASSDEF BOOL BASS_WMA_EncodeSetNotify(HWMENCODE, CLIENTCONNECTPROC*, void*) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_WMA_EncodeGetClients(HWMENCODE) { return unavailable<DWORD>(DWORD(-1)); }
BASSDEF BOOL BASS_WMA_EncodeSetTag(HWMENCODE, const char*, const char*) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_WMA_EncodeWrite(HWMENCODE, const void*, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF BOOL BASS_WMA_EncodeClose(HWMENCODE) { return unavailable<BOOL>(FALSE); }

}  // extern "C"
