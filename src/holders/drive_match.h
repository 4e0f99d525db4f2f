// Whether an object name the system reports lies on a given drive, and its path by letter.
#pragma once

#include <string>

namespace varnel::holders {

struct DriveNames {
    char16_t letter = u'A';  // upper case
    std::u16string device;   // QueryDosDeviceW's answer for the letter: \Device\HarddiskVolume1
};

enum class Placement { Elsewhere, Volume, OnDrive };

struct NameMatch {
    Placement placement = Placement::Elsewhere;
    std::u16string path;  // X:\rest for OnDrive, X: for Volume
};

// A name is on the drive when it equals the device name or continues it with '\', compared
// without regard to case; the forms \??\X:, \\?\X:, \\.\X: and X: count too (an object
// manager name may be given by its drive letter). The name of the device or of X: alone is the
// volume itself.
NameMatch MatchName(const std::u16string& name, const DriveNames& drive);

// A SUBST drive stands for a folder and has no device name of its own.
bool IsSubstitute(const std::u16string& device);

// "T:", "t", "T:\" -> u'T'; 0 when the text is no drive letter.
char16_t ParseDriveLetter(const std::u16string& text);

}  // namespace varnel::holders
