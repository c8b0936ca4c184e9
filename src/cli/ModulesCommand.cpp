// brambleton-cli modules: runs the start-up and lists the loaded modules in
// their final order with what each declares itself.

#include "CliCommand.h"
#include "StartUp.h"
#include "modules/Module.h"

#include <cstdio>

namespace bram::cli {
namespace {

int RunModules(const CCliContext& context, const std::vector<std::string>& args);

CCliCommandRegistration reg({"modules", "",
                             "load the modules and the generation settings; print one line per module: "
                             "NAME<TAB>PRIORITY<TAB>types=N blocks=N constants=N structures=N calls=N scripts=N",
                             RunModules});

int RunModules(const CCliContext& context, const std::vector<std::string>& args)
{
    if (!args.empty()) {
        for (const CCliCommand& command : Commands()) {
            if (command.name == "modules") {
                return UsageError(command, "unexpected argument '" + args.front() + "'");
            }
        }
        return kExitUsage;
    }
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitFailure;
    }
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        std::printf("%s\t%d\ttypes=%zu blocks=%zu constants=%zu structures=%zu calls=%zu scripts=%u\n",
                    module->GetName().c_str(), module->GetPriority(), module->GetTypes().size(),
                    module->GetBlocks().size(), module->GetConstants().size(), module->GetStructures().size(),
                    module->GetCalls().size(), module->GetScriptCount());
    }
    return kExitOk;
}

} // namespace
} // namespace bram::cli
