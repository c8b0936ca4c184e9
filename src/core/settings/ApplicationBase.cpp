#include "settings/ApplicationBase.h"

#include "settings/IniFile.h"

namespace bram {

namespace {
CApplicationBase* g_application = nullptr;
}

CApplicationBase* GetApplication() { return g_application; }
void SetApplication(CApplicationBase* application) { g_application = application; }

bool CIniSettings::GetSettingBinary(std::string_view section, std::string_view key, std::vector<std::uint8_t>& data)
{
    return CIniFile::Load(m_iniPath).GetBinary(section, key, data);
}

std::string CIniSettings::GetSettingString(std::string_view section, std::string_view key, std::string_view def)
{
    return CIniFile::Load(m_iniPath).GetString(section, key, def);
}

unsigned CIniSettings::GetSettingInt(std::string_view section, std::string_view key, unsigned def)
{
    return CIniFile::Load(m_iniPath).GetInt(section, key, def);
}

} // namespace bram
