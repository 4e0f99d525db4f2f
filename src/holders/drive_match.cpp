#include "holders/drive_match.h"

namespace varnel::holders {
namespace {

char16_t Upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
}

// Case-insensitive prefix test; device names and drive letters are ASCII.
bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    if (prefix.empty() || text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

// What follows a matched prefix decides: nothing is the volume, '\' starts a path on it, any
// other character belongs to another name (\Device\HarddiskVolume10 after ...Volume1).
NameMatch Place(const std::u16string& name, size_t prefixLength, char16_t letter) {
    const std::u16string root = std::u16string(1, letter) + u":";
    if (name.size() == prefixLength) {
        return {Placement::Volume, root};
    }
    if (name[prefixLength] != u'\\') {
        return {};
    }
    return {Placement::OnDrive, root + name.substr(prefixLength)};
}

}  // namespace

NameMatch MatchName(const std::u16string& name, const DriveNames& drive) {
    if (!drive.device.empty() && !IsSubstitute(drive.device) && StartsWith(name, drive.device)) {
        return Place(name, drive.device.size(), drive.letter);
    }
    const std::u16string letter = std::u16string(1, drive.letter) + u":";
    for (const std::u16string prefix : {u"\\??\\", u"\\\\?\\", u"\\\\.\\", u""}) {
        if (StartsWith(name, prefix + letter)) {
            return Place(name, prefix.size() + letter.size(), drive.letter);
        }
    }
    return {};
}

bool IsSubstitute(const std::u16string& device) {
    return !device.empty() && !StartsWith(device, u"\\Device\\");
}

char16_t ParseDriveLetter(const std::u16string& text) {
    if (text.empty() || text.size() > 3) {
        return 0;
    }
    const char16_t letter = Upper(text[0]);
    if (letter < u'A' || letter > u'Z') {
        return 0;
    }
    if (text.size() >= 2 && text[1] != u':') {
        return 0;
    }
    if (text.size() == 3 && text[2] != u'\\') {
        return 0;
    }
    return letter;
}

}  // namespace varnel::holders
