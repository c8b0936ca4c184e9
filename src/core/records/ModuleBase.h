#pragma once
// What a definition record and a code node know of the module that declared
// them: its name and its texts. CModule implements it; the records sit below
// the module loader, which owns them.

#include <string>

namespace bram {

class CModuleBase {
public:
    virtual ~CModuleBase() = default;
    virtual const std::string& GetName() const = 0;
    // The module's text for a stored reference ("file/key" or plain text).
    virtual std::string Localize(const std::string& reference) const = 0;
};

} // namespace bram
