/* Every exported name of the three libraries as a do-nothing function; the fakes' real
   definitions override these weak ones. */
#include "FunctionLists.h"

#define AUBADINE_WEAK_STUB(name) __attribute__((weak, visibility("default"))) void name(void) {}
#ifdef FAKE_BASS
AUBADINE_BASS_FUNCTIONS(AUBADINE_WEAK_STUB)
#endif
#ifdef FAKE_BASSWMA
AUBADINE_BASSWMA_FUNCTIONS(AUBADINE_WEAK_STUB)
#endif
#ifdef FAKE_BASSCD
AUBADINE_BASSCD_FUNCTIONS(AUBADINE_WEAK_STUB)
#endif
