#pragma once
// What the benchmarks share: the small language the document-scale ones
// build their 200,000 instructions from, the builder of that document, and
// the reporter that keeps median CPU times for ratio lines.

#include "category/CategorySystem.h"
#include "code/Records.h"
#include "code/State.h"
#include "code/Values.h"
#include "generation/GenerationSettings.h"
#include "modules/Module.h"

#include <benchmark/benchmark.h>
#include <functional>
#include <map>
#include <string>
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

// Sets the generation settings for the language and fills the state: a
// global "total" and `triggerCount` (5,000) triggers named in `category`,
// each a while loop holding 20 calls plus 19 calls beside it, so 40
// instructions each and 200,000 in all. onTrigger(number, id) runs after
// each trigger. Returns the number of instructions.
inline std::size_t FillLargeState(const CModule& m, CState& state, CCategory& category, CCategorySystem* categories,
                                  const std::function<void(int, std::uint32_t)>& onTrigger = {},
                                  int triggerCount = 5000)
{
    const CTypeInfo* number = Named(m.GetTypes(), "number");
    const CTypeInfo* string = Named(m.GetTypes(), "string");
    CGenerationSettings& g = CGenerationSettings::Instance();
    CTriggerDefinitions definitions;
    definitions.functionDefinition = "function ![Parameter1]()";
    definitions.triggerDefinition = "-- ![Parameter1]";
    definitions.functionPrefix = "fn_";
    g.SetTriggerDefinitions(definitions);
    g.SetLocalDeclaration("![Parameter1]");
    g.SetGlobalDeclaration("![Parameter1]");
    g.SetFunctionBlocks({Named(m.GetBlocks(), "actions")});
    g.SetVariablePrefix("v_");
    state.GetGlobals().push_back(std::make_unique<CUserDefinedVariable>("total", number));
    CUserDefinedVariable* total = state.GetGlobal(state.GetGlobalCount() - 1);
    const CCallInfo* print = Named(m.GetCalls(), "print");
    const CCallInfo* add = Named(m.GetCalls(), "add");
    const CCallInfo* set = Named(m.GetCalls(), "set");
    const CStructureInfo* loop = Named(m.GetStructures(), "while");
    auto* pi = const_cast<CConstant*>(Named(m.GetConstants(), "pi"));
    auto makeCall = [&](int i) -> CCodeBase* {
        CCall* call = nullptr;
        if (i % 3 == 0) {
            call = static_cast<CCall*>(print->CreateCode().release());
            call->GetParameter(0)->SetValue(new CStringValue("line \"" + std::to_string(i) + "\"", string));
            auto* sum = static_cast<CCall*>(add->CreateCode().release());
            sum->GetParameter(0)->SetValue(total);
            sum->GetParameter(1)->SetValue(pi);
            call->GetParameter(1)->SetValue(sum);
        } else {
            call = static_cast<CCall*>(set->CreateCode().release());
            call->GetParameter(0)->SetValue(total);
            auto* n = new CNumberValue(number);
            n->SetValue(i * 0.5);
            call->GetParameter(1)->SetValue(n);
        }
        call->SetEnabled(true);
        return call;
    };
    std::size_t instructions = 0;
    for (int t = 0; t < triggerCount; ++t) {
        const std::uint32_t id = state.NewTriggerId();
        category.AddTrigger("Trigger " + std::to_string(t), id);
        CCodeTrigger* trigger = state.AddTrigger(std::make_unique<CCodeTrigger>(id, categories));
        CBlock* block = trigger->GetBlock(0);
        auto* whileNode = static_cast<CStructure*>(loop->CreateCode().release());
        whileNode->GetParameter(0)->SetValue(total);
        auto* limit = new CNumberValue(number);
        limit->SetValue(10);
        whileNode->GetParameter(1)->SetValue(limit);
        whileNode->SetEnabled(true);
        for (int i = 0; i < 20; ++i) {
            whileNode->GetChild(0)->AddChild(makeCall(i));
        }
        block->AddChild(whileNode);
        for (int i = 0; i < 19; ++i) {
            block->AddChild(makeCall(i));
        }
        instructions += 40;
        if (onTrigger) {
            onTrigger(t, id);
        }
    }
    return instructions;
}

} // namespace bram::bench
