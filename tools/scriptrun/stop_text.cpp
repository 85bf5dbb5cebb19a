#include "stop_text.h"

#include <string>

#include "platform/quoted_bytes.h"
#include "platform/task_memory.h"
#include "status_text.h"

namespace scriptrun {
namespace {

using registrar::StopReason;

struct ReasonText {
    StopReason reason;
    bool onText;  // a fault of the script rather than of the registry or the memory
    // $T stands for the token the run stopped at, $N for its length in bytes.
    const char* words;
};

const ReasonText kReasons[] = {
    {StopReason::UnclosedVariable, true, "a '%' has no closing '%' (a percent sign is written %%)"},
    {StopReason::VariableNameTooLong, true, "the variable name $T holds $N bytes; a variable name holds at most 31"},
    {StopReason::UnknownVariable, true,
     "no variable $T is defined (give it with --var NAME=VALUE, or Module and Module_Raw with --module PATH)"},
    {StopReason::EndOfText, true, "the text ends where a token is needed"},
    {StopReason::UnclosedQuote, true, "a quoted token has no closing quote"},
    {StopReason::TokenTooLong, true, "a token is longer than 4094 bytes"},
    {StopReason::UnknownRootKey, true,
     "$T is not a root key: HKCR, HKCU, HKLM, HKU, HKPD, HKDD, HKCC or their long names"},
    {StopReason::RootWithoutBrace, true, "a root key must be followed by '{', not by $T"},
    {StopReason::EmptyKeyName, true, "a key name is empty"},
    {StopReason::KeyNameWithBackslash, true, "the key name $T holds a backslash: a key clause names one level"},
    {StopReason::KeyNameTooLong, true, "the key name $T holds $N bytes; a key name holds at most 259"},
    {StopReason::ValueNameTooLong, true, "the value name $T holds $N bytes; a value name holds at most 259"},
    {StopReason::ValueWithoutAssignment, true, "a value name must be followed by '=', not by $T"},
    {StopReason::UnknownValueType, true, "$T is not a value type: s, d, b or m"},
    {StopReason::OddBinaryDigits, true, "the b value $T has an odd number of hexadecimal digits"},
    {StopReason::ValueTooLong, true, "the value $T is too long for its data"},
    {StopReason::BlockAfterValue, true, "a block follows a value clause, and a value has no subkeys"},
    {StopReason::NestingTooDeep, true, "blocks are nested more than 512 deep"},
    {StopReason::CreateKeyFailed, false, "the registry refused to create the key $T"},
    {StopReason::WriteValueFailed, false, "the registry refused to write the value $T"},
    {StopReason::OpenKeyFailed, false, "the registry refused to open the key $T"},
    {StopReason::ReopenKeyFailed, false, "the registry refused to open the key of the value $T again to delete it"},
    {StopReason::DeleteValueFailed, false, "the registry refused to delete the value $T"},
    {StopReason::CloseKeyFailed, false, "the registry refused to close the key $T"},
    {StopReason::DeleteKeyFailed, false, "the registry refused to delete the key $T"},
    {StopReason::OutOfMemory, false, "memory ran out"},
};

const ReasonText* FindReason(StopReason reason) {
    for (const ReasonText& entry : kReasons) {
        if (entry.reason == reason) return &entry;
    }
    return nullptr;
}

// A token as the dump quotes names, cut short when it is long.
std::string Shown(const std::string& token) {
    constexpr std::size_t kShownBytes = 40;
    std::string out;
    const std::size_t count = token.size() < kShownBytes ? token.size() : kShownBytes;
    platform::AppendQuotedBytes(out, reinterpret_cast<const unsigned char*>(token.data()), count);
    if (count < token.size()) out += "...";
    return out;
}

void ReplaceAll(std::string& text, const std::string& mark, const std::string& with) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + with.size()))
        text.replace(at, mark.size(), with);
}

std::string Where(const TextPosition& position) {
    return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column);
}

// The name of the variable whose reference begins with the '%' at offset.
std::string VariableNameAt(const std::string& script, std::size_t offset) {
    const std::size_t start = offset + 1;
    const std::size_t end = script.find('%', start);
    return script.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The expanded text as the run saw it, expanded again with the same variables.
class Expansion {
public:
    Expansion(const std::string& script, const registrar::ScriptRegistrar& variables) {
        registrar::ScriptParser parser(variables);
        char* text = nullptr;
        if (SUCCEEDED(parser.ExpandVariables(script.c_str(), &text))) text_.Attach(text);
    }
    bool Usable() const { return static_cast<bool>(text_); }
    std::string_view Text() const { return text_.Get(); }
    const char* At(std::size_t offset) const { return text_.Get() + offset; }

private:
    platform::TaskMemory<char> text_;
};

// "line 3, column 20", with where that spot was written when it differs.
std::string Spot(std::size_t offset, const Expansion& expansion, const std::string& script,
                 const registrar::ScriptParser& parser) {
    const TextPosition expanded = PositionOf(expansion.Text(), offset);
    bool inValue = false;
    const std::size_t writtenOffset = parser.WrittenOffset(script.c_str(), offset, &inValue);
    const TextPosition written = PositionOf(script, writtenOffset);
    std::string out = Where(expanded);
    if (inValue) {
        // The name is shown with the dump's escapes, without its quotes.
        const std::string name = Shown(VariableNameAt(script, writtenOffset));
        out += " (in the value of %" + name.substr(1, name.size() - 2) + "% at " + Where(written) + " as written)";
    } else if (written != expanded) {
        out += " (" + Where(written) + " as written)";
    }
    return out;
}

}  // namespace

TextPosition PositionOf(std::string_view text, std::size_t offset) {
    TextPosition position;
    const std::size_t end = offset < text.size() ? offset : text.size();
    const std::string copy(text.substr(0, end));  // terminated, for CharNextA
    for (const char* c = copy.c_str(); *c != '\0'; c = CharNextA(c)) {
        if (*c == '\n') {
            ++position.line;
            position.column = 1;
        } else if (*c != '\r' || c[1] != '\n') {  // a CR LF ends a line as one
            ++position.column;
        }
    }
    return position;
}

bool StoppedOnText(const registrar::ScriptStop& stop) {
    const ReasonText* entry = FindReason(stop.reason);
    if (entry != nullptr) return entry->onText;
    return stop.status == DISP_E_EXCEPTION || stop.status == E_FAIL;
}

std::string DescribeStop(const registrar::ScriptStop& stop, const std::string& script,
                         const registrar::ScriptRegistrar& variables) {
    const ReasonText* entry = FindReason(stop.reason);
    if (entry == nullptr) return DescribeStatus(stop.status).meaning;

    std::string where;
    std::string token;
    std::string block;
    if (stop.duringExpansion) {
        // Nothing was expanded: the spot is in the script as written.
        where = Where(PositionOf(script, stop.offset));
        token = VariableNameAt(script, stop.offset);
    } else {
        const Expansion expansion(script, variables);
        if (!expansion.Usable() || stop.offset > expansion.Text().size())
            return DescribeStatus(stop.status).meaning;
        const registrar::ScriptParser parser(variables);
        where = Spot(stop.offset, expansion, script, parser);
        registrar::ScriptParser reader(variables);
        reader.SetCursor(expansion.At(stop.offset));
        registrar::ScriptParser::Token read;
        if (SUCCEEDED(reader.ReadToken(read))) token = read;
        if (stop.inBlock && stop.blockOffset <= expansion.Text().size())
            block = "; the block opened at " + Spot(stop.blockOffset, expansion, script, parser) + " is not closed";
    }

    std::string words = entry->words;
    ReplaceAll(words, "$N", std::to_string(token.size()));
    ReplaceAll(words, "$T", Shown(token));
    if (!entry->onText && stop.reason != StopReason::OutOfMemory)
        words += ": " + DescribeStatus(stop.status).meaning;
    return where + ": " + words + block;
}

}  // namespace scriptrun
