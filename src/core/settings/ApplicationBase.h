#pragma once
// The settings interface the rest of the program reaches through the current
// application. Every read goes to the program settings file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CApplicationBase {
public:
    virtual ~CApplicationBase() = default;
    virtual bool GetSettingBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& data) = 0;
    virtual std::string GetSettingString(std::string_view section, std::string_view key, std::string_view def = {}) = 0;
    virtual unsigned GetSettingInt(std::string_view section, std::string_view key, unsigned def) = 0;
};

// The current application; null before one is set.
CApplicationBase* GetApplication();
void SetApplication(CApplicationBase* application);

// Settings of a given INI file. Reads are never cached: each one reads the file.
class CIniSettings : public CApplicationBase {
public:
    explicit CIniSettings(std::string iniPath = {}) : m_iniPath(std::move(iniPath)) {}
    void SetIniPath(std::string path) { m_iniPath = std::move(path); }
    const std::string& GetIniPath() const { return m_iniPath; }

    bool GetSettingBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& data) override;
    std::string GetSettingString(std::string_view section, std::string_view key, std::string_view def = {}) override;
    unsigned GetSettingInt(std::string_view section, std::string_view key, unsigned def) override;

private:
    std::string m_iniPath;
};

} // namespace bram
