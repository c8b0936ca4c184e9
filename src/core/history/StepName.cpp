#include "history/StepName.h"

#include "localization/Localization.h"

#include <algorithm>

namespace bram {

namespace {

constexpr char kCountSeparator = '#';

} // namespace

std::string CountedStepName(std::string_view key, std::size_t count)
{
    std::string name(key);
    name += kCountSeparator;
    name += std::to_string(count);
    return name;
}

SStepName ParseStepName(std::string_view name)
{
    const auto separator = name.rfind(kCountSeparator);
    if (separator == std::string_view::npos) {
        return {name};
    }
    const std::string_view digits = name.substr(separator + 1);
    // As CountedStepName writes it: digits without a leading zero, few enough to fit.
    if (digits.empty() || digits.size() > 9 || digits.front() == '0' ||
        !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        return {name};
    }
    std::size_t count = 0;
    for (const char c : digits) {
        count = count * 10 + static_cast<std::size_t>(c - '0');
    }
    return {name.substr(0, separator), count};
}

std::string LocalizedStepName(std::string_view name)
{
    const SStepName parsed = ParseStepName(name);
    std::string text = GetLocalizedString(parsed.key);
    if (parsed.count == 0) {
        return text;
    }
    return FillPlaceholders(text, {std::to_string(parsed.count)});
}

} // namespace bram
