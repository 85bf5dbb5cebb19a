#include "scriptrun.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>
#include <sstream>
#include <utility>

#include "platform/conversion.h"
#include "platform/host/registry_store.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "registrar/update_registry.h"
#include "tools/registry_dump/text_form.h"
#include "registry_diff.h"
#include "status_text.h"
#include "stop_text.h"

namespace scriptrun {
namespace {

const char kUsage[] =
    "usage: scriptrun register|unregister SCRIPT [--var NAME=VALUE]... [--module PATH] [--seed FILE]\n"
    "                                            [--dump FILE] [--diff]\n"
    "       scriptrun check SCRIPT [--var NAME=VALUE]... [--module PATH]\n"
    "  --var NAME=VALUE  a script variable, written %NAME% in the script (repeatable)\n"
    "  --module PATH     Module and Module_Raw for a module at PATH, as registration defines them\n"
    "  --seed FILE       keys and values to load before the run (the form --dump writes)\n"
    "  --dump FILE       write the registry after the run to FILE\n"
    "  --diff            show the changes of the run instead of the registry after it\n"
    "  check             register into an empty registry, unregister, and show what\n"
    "                    registration wrote and what unregistration left behind\n"
    "  SCRIPT or FILE may be '-' for standard input.\n"
    "exit status: 0 the script ran to its end, 1 the script is malformed, 2 the command line\n"
    "or an input file can't be used, 3 the registry refused an operation or memory ran out\n";

enum class Mode { Register, Unregister, Check };

struct Options {
    Mode mode = Mode::Register;
    std::string script;
    std::vector<std::pair<std::string, std::string>> variables;
    std::string module;
    bool hasModule = false;
    std::string seed;
    std::string dump;
    bool diff = false;
};

// False with a message when the command line can't be used.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& problem) {
    if (arguments.empty()) {
        problem = "no mode given";
        return false;
    }
    if (arguments[0] == "register") {
        options.mode = Mode::Register;
    } else if (arguments[0] == "unregister") {
        options.mode = Mode::Unregister;
    } else if (arguments[0] == "check") {
        options.mode = Mode::Check;
    } else {
        problem = "unknown mode '" + arguments[0] + "': use register, unregister or check";
        return false;
    }
    bool hasScript = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--var" || argument == "-v" || argument == "--seed" ||
                                argument == "--dump" || argument == "--module";
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
            } else if (argument == "--module") {
                options.module = value;
                options.hasModule = true;
            } else {
                const size_t equals = value.find('=');
                if (equals == std::string::npos || equals == 0) {
                    problem = "a variable is given as NAME=VALUE, not '" + value + "'";
                    return false;
                }
                options.variables.emplace_back(value.substr(0, equals), value.substr(equals + 1));
            }
        } else if (argument == "--diff") {
            options.diff = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            problem = "unknown option '" + argument + "'";
            return false;
        } else if (!hasScript) {
            options.script = argument;
            hasScript = true;
        } else {
            problem = "more than one script given ('" + options.script + "' and '" + argument + "')";
            return false;
        }
    }
    if (!hasScript || options.script.empty()) {
        problem = "no script file given";
        return false;
    }
    if (options.mode == Mode::Check && (!options.seed.empty() || !options.dump.empty() || options.diff)) {
        problem = "check starts from an empty registry and shows its changes: --seed, --dump and --diff don't apply";
        return false;
    }
    if (options.script == "-" && options.seed == "-") {
        problem = "the script and the seed can't both come from standard input";
        return false;
    }
    if (options.hasModule && options.module.size() >= registrar::kModulePathCapacity) {
        problem = "a module path holds at most " + std::to_string(registrar::kModulePathCapacity - 1) +
                  " bytes, as registration reads it";
        return false;
    }
    return true;
}

// A file, a pipe or a process substitution; "-" is standard input.
bool ReadInput(const std::string& path, std::istream& in, std::string& bytes) {
    std::ostringstream content;
    if (path == "-") {
        content << in.rdbuf();
        bytes = content.str();
        return !in.bad();
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    content << file.rdbuf();
    bytes = content.str();
    return !file.bad();
}

// A module whose file is an executable gets the wrapped form of Module, as
// when the registering module is the process's own executable.
bool IsExecutablePath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".exe";
}

class ToolRun {
public:
    ToolRun(const Options& options, std::ostream& out, std::ostream& err) : options_(options), out_(out), err_(err) {}

    // 0 when the variables are defined, else the exit status.
    int DefineVariables() {
        for (const auto& [name, value] : options_.variables) {
            platform::WideString wideName;
            platform::WideString wideValue;
            if (!platform::ToWide(name.c_str(), wideName) || !platform::ToWide(value.c_str(), wideValue) ||
                FAILED(registrar_.AddVariable(wideName.c_str(), wideValue.c_str()))) {
                err_ << "scriptrun: cannot define the variable '" << name << "'\n";
                return kUnusableInput;
            }
        }
        // After the caller's own, as registration adds them: a --var of the same name wins.
        if (options_.hasModule &&
            FAILED(registrar::AddModuleVariables(registrar_, options_.module.c_str(), IsExecutablePath(options_.module)))) {
            err_ << "scriptrun: cannot define Module and Module_Raw for '" << options_.module << "'\n";
            return kUnusableInput;
        }
        return 0;
    }

    // Runs the script once and prints its status line with the prefix.
    HRESULT Run(const std::string& script, bool doRegister, const char* prefix) {
        registrar::ScriptParser parser(registrar_);
        const HRESULT status = parser.RunScript(script.c_str(), doRegister);
        out_ << prefix << "status: ";
        if (FAILED(status)) {
            out_ << DescribeStatus(status).name << ": " << DescribeStop(parser.Stop(), script, registrar_) << "\n";
            failure_ = StoppedOnText(parser.Stop()) ? kMalformedScript : kRegistryFailed;
        } else {
            out_ << StatusLine(status) << "\n";
        }
        return status;
    }

    int Failure() const { return failure_; }

private:
    const Options& options_;
    std::ostream& out_;
    std::ostream& err_;
    registrar::ScriptRegistrar registrar_;
    int failure_ = kSucceeded;
};

int RunCheck(const std::string& script, ToolRun& run, std::ostream& out) {
    if (FAILED(run.Run(script, true, "register: "))) {
        const std::string left = SortListing(registry_dump::DumpAsWritten());
        out << "left behind by the failed registration:" << (left.empty() ? " nothing\n" : "\n" + left);
        return run.Failure();
    }
    const std::string written = DiffListings({}, registry_dump::DumpAsWritten());
    out << "wrote:" << (written.empty() ? " nothing\n" : "\n" + written);
    run.Run(script, false, "unregister: ");
    const std::string left = SortListing(registry_dump::DumpAsWritten());
    out << "left behind:" << (left.empty() ? " nothing\n" : "\n" + left);
    return run.Failure();
}

}  // namespace

int RunScriptTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    return RunScriptTool(arguments, std::cin, out, err);
}

int RunScriptTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err) {
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << kUsage;
        return kSucceeded;
    }
    Options options;
    std::string problem;
    if (!ParseOptions(arguments, options, problem)) {
        err << "scriptrun: " << problem << "\n" << kUsage;
        return kUnusableInput;
    }

    std::string script;
    if (!ReadInput(options.script, in, script)) {
        err << "scriptrun: cannot read the script file '" << options.script << "'\n";
        return kUnusableInput;
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
        if (!ReadInput(options.seed, in, seed)) {
            err << "scriptrun: cannot read the seed file '" << options.seed << "'\n";
            return kUnusableInput;
        }
        std::string error;
        if (!registry_dump::Seed(seed, &error)) {
            err << "scriptrun: the seed file '" << options.seed << "' is not usable: " << error << "\n";
            return kUnusableInput;
        }
    }

    ToolRun run(options, out, err);
    if (const int unusable = run.DefineVariables(); unusable != 0) return unusable;
    if (options.mode == Mode::Check) return RunCheck(script, run, out);

    const std::string before = options.diff ? registry_dump::DumpAsWritten() : std::string();
    run.Run(script, options.mode == Mode::Register, "");
    const std::string tree = registry_dump::Dump();
    if (options.diff) {
        const std::string changes = DiffListings(before, registry_dump::DumpAsWritten());
        out << (changes.empty() ? "(no changes)\n" : changes);
    } else {
        out << (tree.empty() ? "(the registry is empty)\n" : tree);
    }

    if (!options.dump.empty()) {
        std::ofstream file(options.dump, std::ios::binary);
        file << tree;
        if (!file.flush()) {
            err << "scriptrun: cannot write the dump file '" << options.dump << "'\n";
            return kUnusableInput;
        }
    }
    return run.Failure();
}

}  // namespace scriptrun
