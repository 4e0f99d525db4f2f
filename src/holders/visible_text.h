// Names and paths as the console shows them: characters that would change how the rest of a
// line looks without being seen themselves are written out as <U+XXXX>.
#pragma once

#include <string>

namespace varnel::holders {

// Replaces controls (C0, DEL, C1), bidirectional controls (U+061C, U+200E/F, U+202A-E,
// U+2066-9), the other format characters (soft hyphen, zero-width spaces and joiners, U+FEFF,
// tags, ...), line and paragraph separators and lone surrogates with <U+XXXX>. A program named
// "\u202Eexe.txt.exe" would otherwise show as "exe.txt.exe" reversed: an innocent "exe.txt".
// Everything else, surrogate pairs included, is kept as it is.
std::u16string VisibleText(const std::u16string& text);

}  // namespace varnel::holders
