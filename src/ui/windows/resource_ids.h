// Resource ids shared by the program's resource script and its code; plain #defines so that the
// resource compiler can read them too.
#ifndef QUORVEL_UI_WINDOWS_RESOURCE_IDS_H
#define QUORVEL_UI_WINDOWS_RESOURCE_IDS_H

#define QUORVEL_ICON_ID 1

#endif
