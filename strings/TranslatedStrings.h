// The system string table in ten further languages, built into the program beside the English one.
// The program never selects among them: the run-time table is always loaded from the English
// texts and the translation folder's override file. The arrays are writable because their entries
// own heap copies of the texts, made at static initialisation and freed at exit.
//
// Each array: slots 0 to 766 hold the ids 10000 to 10766 in the English table's slot order (the
// ids above 10766 left out); slots 767 to 805 are default entries (id 0, no text).
#pragma once

#include "foundation/SystemStrings.h"

extern SystemStringEntry g_SystemStrings_Russian[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_Italian[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_Spanish[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_ChineseA[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_Danish[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_French[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_Japanese[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_ChineseB[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_Portuguese[SYSTEM_STRING_COUNT];
extern SystemStringEntry g_SystemStrings_German[SYSTEM_STRING_COUNT];
