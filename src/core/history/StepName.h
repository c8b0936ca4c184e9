#pragma once
// History step names. A step name is the localization key of its text; an
// edit of many items names its step with a key whose text holds
// "![Parameter1]" and the number of items, as "key#7". Names without a
// count stay plain keys, so the steps of single items keep their names.

#include <cstddef>
#include <string>
#include <string_view>

namespace bram {

// "key#count".
std::string CountedStepName(std::string_view key, std::size_t count);

struct SStepName {
    std::string_view key;
    std::size_t count = 0; // 0: the name carries none
};
// The key and count of a step name; a plain key has no count.
SStepName ParseStepName(std::string_view name);

// The text the Edit menu shows for a step: its key's localized text with the count filled in.
std::string LocalizedStepName(std::string_view name);

} // namespace bram
