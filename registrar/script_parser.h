// One run of a registry script: the variable expansion, the tokens, and the
// walk that applies the root blocks to the registry in register or unregister
// mode. The text is narrow ANSI; every test of a character looks at its first
// byte, and the text is stepped with CharNextA.
#pragma once

#include "platform/win32.h"

namespace registrar {

class ExpansionBuffer;
class ScriptRegistrar;

class ScriptParser {
public:
    static constexpr int kTokenCapacity = 4096;      // bytes, terminator included
    static constexpr int kMaxTokenBytes = 4094;      // a character is copied only below this
    static constexpr int kNameCapacity = 260;        // key and value names, terminator included
    static constexpr int kVariableNameCapacity = 32;  // variable names, terminator included
    // Deeper blocks than a registry can hold keys are refused before they can
    // exhaust the stack: each level of nesting is one call.
    static constexpr int kMaxNesting = 512;

    using Token = char[kTokenCapacity];

    explicit ScriptParser(const ScriptRegistrar& registrar) : registrar_(registrar) {}
    ScriptParser(const ScriptParser&) = delete;
    ScriptParser& operator=(const ScriptParser&) = delete;

    // ---- the language ----
    // On S_OK *expanded is the terminated expanded text, owned by the caller
    // (platform::TaskFree); on failure it is null.
    HRESULT ExpandVariables(const char* text, char** expanded);
    void SkipBlanks();
    HRESULT ReadToken(Token& token);
    HRESULT SkipValueClause(Token& token);
    static bool LookupValueType(const char* letter, DWORD* type);
    static int HexDigitValue(char character);
    // The root key named so, or null.
    static HKEY LookupRootKey(const char* name);

    // ---- the interpreter ----
    HRESULT RunScript(const char* text, bool doRegister);
    HRESULT WalkBlock(Token& token, HKEY parentKey, bool doRegister, bool recovering);
    HRESULT WriteValue(HKEY key, const char* valueName, Token& token);
    static LONG DeleteKeyTree(HKEY parentKey, const char* name);
    static bool IsRemovableKeyName(const char* name);

    // The cursor, for reading tokens of a text directly.
    void SetCursor(const char* text) { cursor_ = text; }
    const char* Cursor() const { return cursor_; }

private:
    struct ClauseState;
    HRESULT WalkClause(Token& token, HKEY parentKey, bool doRegister, ClauseState& state);
    HRESULT WalkKeyClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                          ClauseState& state);
    HRESULT WalkValueClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                            ClauseState& state);
    HRESULT SkipBlock(Token& token);
    HRESULT AppendVariable(ExpansionBuffer& buffer);

    const char* cursor_ = nullptr;
    const ScriptRegistrar& registrar_;
    int depth_ = 0;
};

}  // namespace registrar
