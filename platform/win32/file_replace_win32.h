// What the device's way of replacing a file leaves to the next run.
#pragma once

namespace ce::win32 {

#ifdef _WIN32_WCE
// The device replaces a file in two renames: the old file steps aside to
// a backup name beside it (dst._PID.old), then the new one takes its
// place.  A run cut short between the two (a power cut, a reset) leaves the
// destination missing and its old content under that backup name.  When
// dst is missing, this puts the newest such backup back in its place; true
// when it did.  Every read and every replacement of a file calls it first,
// so the file is never lost to a run cut short.
bool restoreSetAside(const char16_t* dst);
#endif

}  // namespace ce::win32
