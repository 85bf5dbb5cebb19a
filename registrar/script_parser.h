// One run of a registry script: the variable expansion, the tokens, and the
// walk that applies the root blocks to the registry in register or unregister
// mode. The text is narrow ANSI; every test of a character looks at its first
// byte, and the text is stepped with CharNextA.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace registrar {

class ExpansionBuffer;
class ScriptRegistrar;

// Why a run stopped, in more detail than its status: each refusal of the
// language and of the walk has its own reason. Reporting only; the statuses
// are what callers act on.
enum class StopReason {
    None,
    // variable expansion
    UnclosedVariable,     // a '%' with no closing '%'
    VariableNameTooLong,  // 32 bytes or more
    UnknownVariable,
    // tokens
    EndOfText,            // a token is needed but only whitespace remains
    UnclosedQuote,
    TokenTooLong,
    // clauses
    UnknownRootKey,
    RootWithoutBrace,     // a root key name not followed by a token beginning with '{'
    EmptyKeyName,
    KeyNameWithBackslash,
    KeyNameTooLong,       // 260 bytes or more
    ValueNameTooLong,     // 260 bytes or more
    ValueWithoutAssignment,
    UnknownValueType,
    OddBinaryDigits,
    ValueTooLong,         // more data than a value buffer holds
    BlockAfterValue,
    NestingTooDeep,
    // the registry refused an operation; ScriptStop::code holds its code
    CreateKeyFailed,
    WriteValueFailed,
    OpenKeyFailed,
    ReopenKeyFailed,      // opening the enclosing key again to delete one of its values
    DeleteValueFailed,
    CloseKeyFailed,
    DeleteKeyFailed,
    OutOfMemory,
};

// Where and why the first failure of a run happened. Offsets count bytes from
// the start of the expanded text, or of the text as given when the failure
// came during expansion (nothing was expanded then).
struct ScriptStop {
    StopReason reason = StopReason::None;
    HRESULT status = S_OK;
    LONG code = ERROR_SUCCESS;    // the registry's code, for the registry's refusals
    bool duringExpansion = false;
    std::size_t offset = 0;       // the token (or the '%') the run stopped at
    bool inBlock = false;         // EndOfText inside a block: where that block opened
    std::size_t blockOffset = 0;
};

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
    void SetCursor(const char* text) {
        cursor_ = text;
        base_ = text;
    }
    const char* Cursor() const { return cursor_; }

    // The first failure since the last RunScript or ExpandVariables began;
    // later failures (the rollback of a failed root block) leave it alone.
    const ScriptStop& Stop() const { return stop_; }

    // The offset in the text as given that corresponds to an offset in its
    // expansion with this parser's variables. A spot inside a variable's
    // value maps to the '%' that begins the variable's name, and *inValue is
    // set. Only for reporting: the text must expand without failure.
    std::size_t WrittenOffset(const char* text, std::size_t expandedOffset, bool* inValue) const;

private:
    struct ClauseState;
    HRESULT WalkClause(Token& token, HKEY parentKey, bool doRegister, ClauseState& state);
    HRESULT WalkKeyClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                          ClauseState& state);
    HRESULT WalkValueClause(Token& token, HKEY parentKey, bool doRegister, bool deleteFlag,
                            ClauseState& state);
    HRESULT SkipBlock(Token& token);
    HRESULT AppendVariable(ExpansionBuffer& buffer);
    // The variable reference whose name begins at nameStart, just past its
    // '%': where the name ends (at the closing '%') and the variable's value,
    // or the fault that makes it no reference.
    struct VariableReference {
        const char* nameEnd = nullptr;
        const OLECHAR* value = nullptr;
        StopReason fault = StopReason::None;
    };
    VariableReference ReadReference(const char* nameStart) const;
    HRESULT ExpandText(const char* text, char** expanded);
    // Notes the first failure and gives back its status.
    HRESULT Refuse(HRESULT status, StopReason reason, const char* at, LONG code = ERROR_SUCCESS);
    HRESULT RegistryRefused(LONG code, StopReason reason, const char* at);

    const char* cursor_ = nullptr;
    const ScriptRegistrar& registrar_;
    int depth_ = 0;
    const char* tokenStart_ = nullptr;  // the token last read, after its leading blanks
    const char* base_ = nullptr;        // the text that offsets count from
    bool expanding_ = false;
    ScriptStop stop_;
};

}  // namespace registrar
