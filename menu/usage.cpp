// What Vantrelo --help prints on posix (see platform/entry.h).
#include "platform/entry.h"

const char* programUsage() {
    return R"(Usage: Vantrelo [-SUFFIX]
       Vantrelo --help | -h | --version

Shows the menu of the menu file beside the program at the mouse pointer and
opens the chosen entry's action on the emulated device.  The menu file is
VantreloSUFFIX.ini (Vantrelo.ini without a suffix) beside the path the
program was started by (a link to it finds the files beside the link),
UTF-8 or UTF-16LE:
  [Menus]
  Menu1=Notes
  [Actions]
  Action1=\My Documents\notes.txt
Entries 1 to 10; an action is a file, optionally followed by | (or ;) and
its parameters, and ends at its first =.  %PROGRAMFILES%, %WINDOWS%,
%MYMUSIC%, %MYVIDEO% and %MYPICTURES% name device folders.  The menu closes
itself after 6 seconds.  Needs an X display (DISPLAY).
Exit status: 0, also when nothing was shown or chosen; 255 when another
Vantrelo runs already, or its mark cannot be made.

The device is the directory named by CE_DEVICE_DIR (default
~/.local/share/ce-device).
)";
}
