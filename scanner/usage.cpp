// What Zandoval --help prints on posix (see platform/entry.h).
#include "platform/entry.h"

const char* programUsage() {
    return R"(Usage: Zandoval [-start]
       Zandoval --help | -h | --version

Lists the shortcuts (.lnk) of a folder tree of the emulated device for the
home screen's launcher plugin.  The command line is not read.

Settings and results live in the key
HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\CHome\Lorvendi\Page1:
  searchRootDir  the folder to walk, e.g. \Links
  enter          a name filter, case ignored: names that begin with it; when
                 it holds a * anywhere, names that contain it without its
                 first character (*wor); none lists every shortcut
  dirFile        the list file to write, e.g. \lorvendi.txt
  ErrorNumber, ErrorDescription, Version, maxList (the count), Scanned (1)
Set and read them with cedevice, e.g.
  cedevice set 'HKLM\SOFTWARE\Microsoft\CHome\Lorvendi\Page1' \
      searchRootDir '\Links'
  cedevice record zandoval
Exit status: 0 when the result is 0, 1 otherwise.

The device is the directory named by CE_DEVICE_DIR (default
~/.local/share/ce-device); make one with: cedevice create --sample DIR
)";
}
