#include "scriptrun.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <utility>

#include "platform/conversion.h"
#include "platform/host/registry_store.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "status_text.h"

namespace scriptrun {
namespace {

constexpr int kScriptFailed = 1;
constexpr int kUnusable = 2;

const char kUsage[] =
    "usage: scriptrun register|unregister SCRIPT [--var NAME=VALUE]... [--seed FILE] [--dump FILE]\n"
    "  --var NAME=VALUE  a script variable, written %NAME% in the script (repeatable)\n"
    "  --seed FILE       keys and values to load before the run (the form --dump writes)\n"
    "  --dump FILE       write the registry after the run to FILE\n";

struct Options {
    bool doRegister = true;
    std::string script;
    std::vector<std::pair<std::string, std::string>> variables;
    std::string seed;
    std::string dump;
};

// False with a message when the command line can't be used.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& problem) {
    if (arguments.empty()) {
        problem = "no mode given";
        return false;
    }
    if (arguments[0] == "register") {
        options.doRegister = true;
    } else if (arguments[0] == "unregister") {
        options.doRegister = false;
    } else {
        problem = "unknown mode '" + arguments[0] + "': use register or unregister";
        return false;
    }
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--var" || argument == "-v" || argument == "--seed" || argument == "--dump";
        if (takesValue) {
            if (i + 1 >= arguments.size()) {
                problem = argument + " needs a value";
                return false;
            }
            const std::string& value = arguments[++i];
            if (argument == "--seed") {
                options.seed = value;
            } else if (argument == "--dump") {
                options.dump = value;
            } else {
                const size_t equals = value.find('=');
                if (equals == std::string::npos || equals == 0) {
                    problem = "a variable is given as NAME=VALUE, not '" + value + "'";
                    return false;
                }
                options.variables.emplace_back(value.substr(0, equals), value.substr(equals + 1));
            }
        } else if (!argument.empty() && argument[0] == '-') {
            problem = "unknown option '" + argument + "'";
            return false;
        } else if (options.script.empty()) {
            options.script = argument;
        } else {
            problem = "more than one script given ('" + options.script + "' and '" + argument + "')";
            return false;
        }
    }
    if (options.script.empty()) {
        problem = "no script file given";
        return false;
    }
    return true;
}

bool ReadFile(const std::string& path, std::string& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    bytes = content.str();
    return !file.bad();
}

// Narrow text as the registrar's UTF-16: the stand-in's code page.
bool ToWide(const std::string& text, platform::WideString& wide) { return platform::ToWide(text.c_str(), wide); }

}  // namespace

int RunScriptTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    Options options;
    std::string problem;
    if (!ParseOptions(arguments, options, problem)) {
        err << "scriptrun: " << problem << "\n" << kUsage;
        return kUnusable;
    }

    std::string script;
    if (!ReadFile(options.script, script)) {
        err << "scriptrun: cannot read the script file '" << options.script << "'\n";
        return kUnusable;
    }
    const size_t nul = script.find('\0');
    if (nul != std::string::npos) {
        err << "scriptrun: warning: the script holds a NUL byte at offset " << nul
            << "; its text ends there, as it would in a resource\n";
        script.resize(nul);
    }

    platform::registry_store::Reset();
    if (!options.seed.empty()) {
        std::string seed;
        if (!ReadFile(options.seed, seed)) {
            err << "scriptrun: cannot read the seed file '" << options.seed << "'\n";
            return kUnusable;
        }
        std::string error;
        if (!platform::registry_store::Seed(seed, &error)) {
            err << "scriptrun: the seed file '" << options.seed << "' is not usable: " << error << "\n";
            return kUnusable;
        }
    }

    registrar::ScriptRegistrar scriptRegistrar;
    for (const auto& [name, value] : options.variables) {
        platform::WideString wideName;
        platform::WideString wideValue;
        if (!ToWide(name, wideName) || !ToWide(value, wideValue) ||
            FAILED(scriptRegistrar.AddVariable(wideName.c_str(), wideValue.c_str()))) {
            err << "scriptrun: cannot define the variable '" << name << "'\n";
            return kUnusable;
        }
    }

    const HRESULT status = registrar::ScriptParser(scriptRegistrar).RunScript(script.c_str(), options.doRegister);
    out << "status: " << StatusLine(status) << "\n";
    const std::string tree = platform::registry_store::Dump();
    out << (tree.empty() ? "(the registry is empty)\n" : tree);

    if (!options.dump.empty()) {
        std::ofstream file(options.dump, std::ios::binary);
        file << tree;
        if (!file.flush()) {
            err << "scriptrun: cannot write the dump file '" << options.dump << "'\n";
            return kUnusable;
        }
    }
    return FAILED(status) ? kScriptFailed : 0;
}

}  // namespace scriptrun
