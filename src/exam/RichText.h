#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qarvel::exam {

// A character of the file that the view cannot show and shows as "?": its
// line (from 1) in the view's text and the character itself (UTF-8).
struct LostCharacter {
    int line = 0;
    std::string text;
    bool operator==(const LostCharacter&) const = default;
};

// Reads RTF the way a rich-text view shows it and returns its text (GBK, CR
// LF), or false when it is malformed. With `lost`, the characters of \uN
// escapes that GBK lacks are added to it.
bool ReadRichText(std::string_view rtf, std::string& text,
                  std::vector<LostCharacter>* lost = nullptr);

} // namespace qarvel::exam
