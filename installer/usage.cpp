// What qorvinstall --help prints on posix (see platform/entry.h).
#include "platform/entry.h"

const char* programUsage() {
    return R"(Usage: qorvinstall -addchange '-plg:\path\plugin.plg' -cpr:LAYOUT [OPTION]...
       qorvinstall -delete -cpr:LAYOUT -plugin:NAME [OPTION]...
       qorvinstall -change -cpr:LAYOUT -view:TitaniumListView [OPTION]...
       qorvinstall -change -cpr:LAYOUT -view:BronzeListView [OPTION]...
       qorvinstall --help | -h | --version

Edits one home-screen layout file (.cpr) of the emulated device per run:
addchange installs the plugin a plugin definition (.plg) describes, or
replaces it in place; delete removes a plugin; change switches the list view.

LAYOUT is currentPortrait, currentLandscape, forcecurrentPortrait,
forcecurrentLandscape, all, or a device path such as '\Windows\x_480x800.cpr'.
Quote device paths in a shell, so that their backslashes stay.

Options:
  -nochangechomereg  leave the home screen's registry values alone
  -nochangecpr       addchange, delete: do not copy the result over the layout
                     file (a change always writes it)
  -silent            show no message box (on a PC: no "QORV: text" line on
                     standard error)

The result goes to the run record, HKEY_CURRENT_USER\SOFTWARE\QORV
(ErrorNumber, ErrorDescription and the call values); read it with
  cedevice record qorvinstall
Exit status: 0 when the result is 0, 1 otherwise.

The device is the directory named by CE_DEVICE_DIR (default
~/.local/share/ce-device); make one with: cedevice create --sample DIR
)";
}
