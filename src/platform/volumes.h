// A drive's volume as a whole: what kind of disk it lives on, and the requests that lock,
// dismount and eject it through one open handle.
#pragma once

#include <memory>

namespace varnel {

struct VolumeFacts {
    bool windowsVolume = false;   // holds the Windows folder
    bool pageFileVolume = false;  // holds a page file
    bool fixedDisk = false;       // an internal disk: fixed media on an internal bus
    bool cardReader = false;      // removable media in a reader that stays when the card goes
};

// One open handle to the volume (\\.\X:, full sharing). A lock lasts until Unlock or until the
// handle is closed, so an implementation closes it when it goes.
class VolumeHandle {
public:
    virtual ~VolumeHandle() = default;
    // FSCTL_LOCK_VOLUME: flushes the volume and keeps everyone else out; false when the system
    // refuses because files are open on it.
    virtual bool Lock() = 0;
    virtual void Unlock() = 0;        // FSCTL_UNLOCK_VOLUME
    virtual void Dismount() = 0;      // FSCTL_DISMOUNT_VOLUME; others' handles fail from then on
    virtual void AllowRemoval() = 0;  // IOCTL_STORAGE_MEDIA_REMOVAL with PreventMediaRemoval 0
    virtual void EjectMedia() = 0;    // IOCTL_STORAGE_EJECT_MEDIA: the medium, not the reader
};

class Volumes {
public:
    virtual ~Volumes() = default;
    // Throws PlatformError when the drive cannot be looked at.
    virtual VolumeFacts Describe(char16_t letter) = 0;
    // Throws PlatformError when the volume cannot be opened.
    virtual std::unique_ptr<VolumeHandle> Open(char16_t letter) = 0;
};

}  // namespace varnel
