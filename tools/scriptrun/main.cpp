// scriptrun: see scriptrun.h.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "scriptrun.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        return scriptrun::RunScriptTool(arguments, std::cout, std::cerr);
    } catch (const std::exception& failure) {
        std::cerr << "scriptrun: " << failure.what() << "\n";
        return scriptrun::kUnusableInput;
    }
}
