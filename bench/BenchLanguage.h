#pragma once
// The small language the document-scale benchmarks build their 200,000
// instructions from, and a lookup by name.

#include <vector>

namespace bram::bench {

inline const char* kLanguage = R"(<Module><NeededModules/><Data>
<Types>
 <Type><Name>action</Name><RealType>Undefined</RealType><CreationInstruction/></Type>
 <Type><Name>string</Name><RealType>String</RealType><CreationInstruction>local ![Parameter1] = ""</CreationInstruction>
  <Replacements><StartString>"</StartString><EndString>"</EndString><Replacement><What>"</What><By>\"</By></Replacement></Replacements></Type>
 <Type><Name>number</Name><RealType>Number</RealType><CreationInstruction>local ![Parameter1] = 0</CreationInstruction></Type>
 <Type><Name>boolean</Name><RealType>Boolean</RealType><CreationInstruction/></Type>
 <Type><Name>trigger</Name><RealType>Trigger</RealType><CreationInstruction/></Type>
 <Type><Name>variable</Name><RealType>Variable</RealType><CreationInstruction/></Type>
</Types>
<Blocks>
 <Block><Name>actions</Name><StartInstruction><![CDATA[]]></StartInstruction><EndInstruction><![CDATA[]]></EndInstruction><Separator><![CDATA[]]></Separator><StandardValue>-- nothing</StandardValue><Type>action</Type></Block>
 <Block><Name>body</Name><StartInstruction><![CDATA[]]></StartInstruction><EndInstruction>end</EndInstruction><Separator><![CDATA[]]></Separator><StandardValue>-- nothing</StandardValue><Type>action</Type></Block>
</Blocks>
<Constants><Constant><Name>pi</Name><Value>math.pi</Value><Type>number</Type></Constant></Constants>
<Structures>
 <Structure><Name>while</Name><Description>While</Description><Categories>Flow</Categories><RawInstruction>while ![Parameter1] &lt; ![Parameter2] do</RawInstruction><Type>action</Type>
  <Parameters><Parameter><Name>a</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter><Parameter><Name>b</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters>
  <Blocks><Block>body</Block></Blocks></Structure>
</Structures>
<Calls>
 <Call><Name>print</Name><Description>Print</Description><Categories>IO</Categories><RawInstruction>print(![Parameter1], ![Parameter2])</RawInstruction><Type>action</Type>
  <Parameters><Parameter><Name>text</Name><Type>string</Type><OnlyVariables>false</OnlyVariables></Parameter><Parameter><Name>n</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
 <Call><Name>add</Name><Description>Add</Description><Categories>Math</Categories><RawInstruction>(![Parameter1] + ![Parameter2])</RawInstruction><Type>number</Type>
  <Parameters><Parameter><Name>a</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter><Parameter><Name>b</Name><Type>number</Type><OnlyVariables>false</OnlyVariables></Parameter></Parameters></Call>
 <Call><Name>set</Name><Description>Set</Description><Categories>Vars</Categories><RawInstruction>![Parameter1] = ![Parameter2]</RawInstruction><Type>action</Type>
  <Parameters><Parameter><Name>var</Name><Type>variable</Type><OnlyVariables>true</OnlyVariables></Parameter><Parameter><Name>value</Name><ReferenceTo>0</ReferenceTo></Parameter></Parameters></Call>
</Calls></Data><Scripts/></Module>)";

template <typename T>
inline const T* Named(const std::vector<const T*>& list, const char* name)
{
    for (const T* item : list) {
        if (item->GetName() == name) {
            return item;
        }
    }
    return nullptr;
}

} // namespace bram::bench
